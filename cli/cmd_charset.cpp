// orbek iconv --from NAME --to NAME [FILE]: converts text between charsets
// through a ustring; orbek iconv --list prints the charset name table.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "cli/commands.h"
#include "cli/platform.h"
#include "orbek_util.h"
#include "ustring/charset.h"

namespace {

const char kUsage[] = "usage: orbek iconv --from NAME --to NAME [FILE]\n"
                      "       orbek iconv --list\n";

bool read_input(const char *path, std::vector<uint8_t> *out) {
    FILE *in = stdin;
    if (path && strcmp(path, "-") != 0) {
        in = fopen(path, "rb");
        if (!in) {
            cli_error("cannot open '%s'", path);
            return false;
        }
    }
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, in)) > 0) out->insert(out->end(), buf, buf + n);
    bool ok = !ferror(in);
    if (in != stdin) fclose(in);
    if (!ok) cli_error("cannot read the input");
    if (ok && out->size() > (size_t)INT32_MAX / 4) {
        cli_error("the input is too large");
        return false;
    }
    return ok;
}

// One line per name: the name, its code page and its fallback code page.
int list() {
    for (int32_t i = 0; i < orbek::charset::kTableSize; ++i) {
        const orbek::charset::Record &r = orbek::charset::kTable[i];
        printf("%s\t%u\t%u\n", r.name, (unsigned)r.primary, (unsigned)r.fallback);
    }
    return 0;
}

}  // namespace

int cmd_iconv(int argc, char **argv) {
    const char *from = nullptr, *to = nullptr, *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (strcmp(a, "--help") == 0) {
            printf("%s"
                   "Converts FILE (or standard input) from one charset to another.  NAME is\n"
                   "UTF-8, ASCII, UTF-16BE, UTF-16LE, UTF-32BE, UTF-32LE, CP and a Windows\n"
                   "code-page number (cp1252), or a name of the table that --list prints\n"
                   "(name, code page, fallback code page).  Case does not matter.  Characters\n"
                   "the target lacks become its default character (\"?\"); input that is not\n"
                   "valid in a UTF form, and names no converter serves, fail with exit code 1.\n",
                   kUsage);
            return 0;
        }
        if (strcmp(a, "--list") == 0 && argc == 2) return list();
        if ((strcmp(a, "--from") == 0 || strcmp(a, "--to") == 0) && i + 1 < argc) {
            (a[2] == 'f' ? from : to) = argv[++i];
        } else if (!path && (a[0] != '-' || strcmp(a, "-") == 0)) {
            path = a;
        } else {
            fputs(kUsage, stderr);
            return 2;
        }
    }
    if (!from || !to) {
        fputs(kUsage, stderr);
        return 2;
    }
    cli_binary_stdio();
    std::vector<uint8_t> in;
    if (!read_input(path, &in)) return 1;
    orbek_ustring *s = orbek_ustring_newmbs(from, in.data(), (int32_t)in.size());
    if (!s) {
        cli_error("the input cannot be read as %s", from);
        return 1;
    }
    uint8_t *out = nullptr;
    int32_t n = 0;
    int32_t ok = orbek_ustring_tombs(s, to, &out, &n);
    orbek_ustring_free(s);
    if (!ok) {
        cli_error("the text cannot be written as %s", to);
        return 1;
    }
    bool written = fwrite(out, 1, (size_t)n, stdout) == (size_t)n;
    orbek_free(out);
    if (!written) cli_error("cannot write standard output");
    return written ? 0 : 1;
}
