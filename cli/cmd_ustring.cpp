// orbek utf FROM TO [FILE]: converts text between the Unicode encoding forms
// through a ustring, refusing malformed input rather than repairing it.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "cli/commands.h"
#include "cli/platform.h"
#include "orbek_util.h"

namespace {

const char kForms[] = "utf8, utf16, bmp, utf32be, utf32, ascii";

enum Form { kUtf8, kUtf16, kBmp, kUtf32be, kUtf32, kAscii, kUnknown };

Form form_of(const char *name) {
    static const char *const kNames[] = {"utf8", "utf16", "bmp", "utf32be", "utf32", "ascii"};
    for (int i = 0; i < kUnknown; ++i)
        if (strcmp(name, kNames[i]) == 0) return (Form)i;
    return kUnknown;
}

bool read_all(const char *path, std::vector<uint8_t> *out) {
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

orbek_ustring *decode(Form f, const std::vector<uint8_t> &in) {
    const uint8_t *p = in.data();
    int32_t n = (int32_t)in.size();
    switch (f) {
    case kUtf8:
        return orbek_ustring_newutf8(p, n);
    case kBmp:
        return orbek_ustring_newbmp(p, n);
    case kUtf32be:
        return orbek_ustring_newutf32be(p, n);
    case kAscii:
        return orbek_ustring_newascii(p, n);
    case kUtf16: {
        if (n % 2) return nullptr;
        std::vector<uint16_t> u((size_t)n / 2);
        if (n) memcpy(u.data(), p, (size_t)n);
        return orbek_ustring_newlength(u.data(), n / 2);
    }
    case kUtf32: {
        if (n % 4) return nullptr;
        std::vector<uint32_t> v((size_t)n / 4);
        if (n) memcpy(v.data(), p, (size_t)n);
        return orbek_ustring_newutf32(v.data(), n / 4);
    }
    default:
        return nullptr;
    }
}

// Writes s in form f to stdout; false when s has no such form.
bool encode(Form f, const orbek_ustring *s) {
    void *buf = nullptr;
    int32_t n = 0;
    size_t unit = 1;
    int32_t ok = 0;
    switch (f) {
    case kUtf8:
        ok = orbek_ustring_toutf8(s, reinterpret_cast<uint8_t **>(&buf), &n);
        break;
    case kUtf16:
        ok = orbek_ustring_toutf16(s, reinterpret_cast<uint16_t **>(&buf), &n);
        unit = 2;
        break;
    case kBmp:
        ok = orbek_ustring_tobmp(s, reinterpret_cast<uint8_t **>(&buf), &n);
        break;
    case kUtf32be:
        ok = orbek_ustring_toutf32be(s, reinterpret_cast<uint8_t **>(&buf), &n);
        break;
    case kUtf32:
        ok = orbek_ustring_toutf32(s, reinterpret_cast<uint32_t **>(&buf), &n);
        unit = 4;
        break;
    case kAscii: {
        // Through UTF-8: ASCII text is its own UTF-8 form.
        ok = orbek_ustring_toutf8(s, reinterpret_cast<uint8_t **>(&buf), &n);
        for (int32_t i = 0; ok && i < n; ++i)
            if (static_cast<uint8_t *>(buf)[i] >= 0x80) ok = 0;
        if (!ok && buf) {
            orbek_free(buf);
            buf = nullptr;
        }
        break;
    }
    default:
        break;
    }
    if (!ok) return false;
    bool written = fwrite(buf, unit, (size_t)n, stdout) == (size_t)n;
    orbek_free(buf);
    if (!written) cli_error("cannot write standard output");
    return written;
}

}  // namespace

int cmd_utf(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        printf("usage: orbek utf FROM TO [FILE]\n"
               "Converts FILE (or standard input) from one Unicode encoding form to\n"
               "another.  Forms: %s (utf16 and utf32 in the\n"
               "machine's byte order, bmp is big-endian UCS-2).  Malformed input and\n"
               "characters the target cannot hold fail with exit code 1.\n",
               kForms);
        return 0;
    }
    if (argc < 3 || argc > 4) {
        fputs("usage: orbek utf FROM TO [FILE]\n", stderr);
        return 2;
    }
    Form from = form_of(argv[1]), to = form_of(argv[2]);
    if (from == kUnknown || to == kUnknown) {
        cli_error("unknown form '%s' (one of %s)", from == kUnknown ? argv[1] : argv[2], kForms);
        return 2;
    }
    cli_binary_stdio();
    std::vector<uint8_t> in;
    if (!read_all(argc == 4 ? argv[3] : nullptr, &in)) return 1;
    orbek_ustring *s = decode(from, in);
    if (!s) {
        cli_error("the input is not valid %s", argv[1]);
        return 1;
    }
    bool ok = encode(to, s);
    if (!ok && !ferror(stdout)) cli_error("the text has characters that %s cannot hold", argv[2]);
    orbek_ustring_free(s);
    return ok ? 0 : 1;
}
