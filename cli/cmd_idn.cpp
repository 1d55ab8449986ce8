// orbek idn toascii|tounicode [--allow-unassigned] [--std3] [--wildcard]
// NAME...: domain names between their Unicode and ASCII forms, one result
// per line.  orbek ldapprep --type N [TEXT]: LDAP string preparation.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/platform.h"
#include "orbek_util.h"

namespace {

const char kIdnUsage[] = "usage: orbek idn toascii|tounicode [--allow-unassigned] [--std3] [--wildcard] NAME...\n";
const char kLdapUsage[] = "usage: orbek ldapprep --type 0|1|3|4|5 [TEXT]\n";

orbek_ustring *from_utf8(const std::string &s) {
    return orbek_ustring_newutf8(reinterpret_cast<const uint8_t *>(s.data()), (int32_t)s.size());
}

bool print_utf8(const orbek_ustring *s) {
    uint8_t *b = nullptr;
    int32_t n = 0;
    if (!orbek_ustring_toutf8(s, &b, &n)) {
        cli_error("out of memory");
        return false;
    }
    fwrite(b, 1, (size_t)n, stdout);
    fputc('\n', stdout);
    orbek_free(b);
    return true;
}

// The length of the label separator (U+002E, U+3002, U+FF0E, U+FF61) that
// starts at p, or 0.
size_t separator_at(const char *p, size_t left) {
    if (*p == '.') return 1;
    if (left < 3) return 0;
    static const char *const kWide[] = {"\xE3\x80\x82", "\xEF\xBC\x8E", "\xEF\xBD\xA1"};
    for (const char *w : kWide)
        if (memcmp(p, w, 3) == 0) return 3;
    return 0;
}

// Names the first label of a name that ToASCII refuses.
void report_failure(const std::string &name, uint32_t flags[3]) {
    size_t start = 0;
    for (size_t i = 0; i <= name.size();) {
        size_t sep = i < name.size() ? separator_at(name.data() + i, name.size() - i) : 0;
        if (i < name.size() && !sep) {
            ++i;
            continue;
        }
        std::string label = name.substr(start, i - start);
        if (label.empty()) {
            cli_error("'%s': empty label", name.c_str());
            return;
        }
        orbek_ustring *s = from_utf8(label);
        char *out = nullptr;
        int32_t len = 0;
        bool ok = s && orbek_ustring_idnlabel_toascii(s, flags[0], flags[1], flags[2], &out, &len);
        orbek_free(out);
        orbek_ustring_free(s);
        if (!ok) {
            cli_error("'%s': label '%s' cannot be converted", name.c_str(), label.c_str());
            return;
        }
        if (i == name.size()) break;
        i += sep;
        start = i;
    }
    cli_error("'%s' cannot be converted", name.c_str());
}

}  // namespace

int cmd_idn(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        printf("%s"
               "Converts each domain NAME (UTF-8) to its ASCII form (toascii) or back to\n"
               "Unicode (tounicode), one result per line.  Labels are separated by \".\"\n"
               "or the ideographic and fullwidth full stops.  --allow-unassigned lets\n"
               "characters unassigned in Unicode 5.0 through, --std3 allows only letters,\n"
               "digits and hyphens in a label, --wildcard also \"*\" under --std3.\n"
               "A name toascii cannot convert names its failing label and makes the exit\n"
               "code 1; the other names are still converted.\n",
               kIdnUsage);
        return 0;
    }
    if (argc < 3 || (strcmp(argv[1], "toascii") != 0 && strcmp(argv[1], "tounicode") != 0)) {
        fputs(kIdnUsage, stderr);
        return 2;
    }
    bool to_ascii = strcmp(argv[1], "toascii") == 0;
    // Options may stand anywhere before "--"; everything else is a name.
    uint32_t flags[3] = {0, 0, 0};
    std::vector<const char *> names;
    bool options = true;
    for (int i = 2; i < argc; ++i) {
        const char *a = argv[i];
        if (!options || strncmp(a, "--", 2) != 0) {
            names.push_back(a);
        } else if (strcmp(a, "--allow-unassigned") == 0) {
            flags[0] = 1;
        } else if (strcmp(a, "--std3") == 0) {
            flags[1] = 1;
        } else if (strcmp(a, "--wildcard") == 0) {
            flags[2] = 1;
        } else if (strcmp(a, "--") == 0) {
            options = false;
        } else {
            cli_error("unknown option '%s'", a);
            fputs(kIdnUsage, stderr);
            return 2;
        }
    }
    if (names.empty()) {
        fputs(kIdnUsage, stderr);
        return 2;
    }
    int rc = 0;
    for (const char *arg : names) {
        std::string name = arg;
        orbek_ustring *s = from_utf8(name);
        if (!s) {
            cli_error("'%s' is not valid UTF-8", arg);
            rc = 1;
            continue;
        }
        if (to_ascii) {
            char *out = nullptr;
            int32_t len = 0;
            if (orbek_ustring_idn_toascii(s, flags[0], flags[1], flags[2], &out, &len)) {
                fwrite(out, 1, (size_t)len, stdout);
                fputc('\n', stdout);
                orbek_free(out);
            } else {
                report_failure(name, flags);
                rc = 1;
            }
        } else {
            orbek_ustring *u = orbek_ustring_idn_tounicode(s, flags[0], flags[1], flags[2]);
            if (!u || !print_utf8(u)) rc = 1;
            orbek_ustring_free(u);
        }
        orbek_ustring_free(s);
    }
    return rc;
}

int cmd_ldapprep(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        printf("%s"
               "Prepares TEXT (UTF-8; standard input when absent, one final line end\n"
               "dropped) for LDAP matching and prints it with a line end.  Types:\n"
               "0 exact, 1 case-ignore, 3 numeric, 4 telephone number, 5 case-ignore\n"
               "telephone number.  Prohibited characters fail with exit code 1.\n",
               kLdapUsage);
        return 0;
    }
    if (argc < 3 || argc > 4 || strcmp(argv[1], "--type") != 0) {
        fputs(kLdapUsage, stderr);
        return 2;
    }
    char *end = nullptr;
    long type = strtol(argv[2], &end, 10);
    if (!*argv[2] || *end || (type != 0 && type != 1 && type != 3 && type != 4 && type != 5)) {
        cli_error("unknown type '%s' (one of 0, 1, 3, 4, 5)", argv[2]);
        return 2;
    }
    std::string text;
    if (argc == 4) {
        text = argv[3];
    } else {
        cli_binary_stdio();
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, stdin)) > 0) text.append(buf, n);
        if (ferror(stdin)) {
            cli_error("cannot read the input");
            return 1;
        }
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
            if (!text.empty() && text.back() == '\r') text.pop_back();
        }
    }
    orbek_ustring *s = from_utf8(text);
    if (!s) {
        cli_error("the text is not valid UTF-8");
        return 1;
    }
    orbek_ustring *r = orbek_ustring_ldapi18nstringprep((int32_t)type, s);
    orbek_ustring_free(s);
    if (!r) {
        cli_error("the text holds a prohibited character");
        return 1;
    }
    bool ok = print_utf8(r);
    orbek_ustring_free(r);
    return ok ? 0 : 1;
}
