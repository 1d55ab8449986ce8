// orbek json: validate and reformat a JSON document.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/commands.h"
#include "orbek_util.h"

namespace {

const char kJsonUsage[] =
    "usage: orbek json [--check] [--pretty] [--indent N] [--crlf] [--sort] [FILE]\n"
    "Reads a JSON document from FILE (or standard input) and writes it again,\n"
    "compact unless asked otherwise.\n"
    "  --check     only validate: no output, exit status 0 or 1\n"
    "  --pretty    one member or element per line, a TAB per level\n"
    "  --indent N  N spaces (0-255) before each level's TAB (implies --pretty)\n"
    "  --crlf      end lines with CR LF instead of LF (implies --pretty)\n"
    "  --sort      sort the top-level object's members or array's elements\n";

// Finds where and why a document is refused.  The decoder gives no
// position; this scan follows the decoder's grammar (whitespace, numbers,
// escapes, UTF-8, nesting limit), so it refuses what the decoder refuses and
// can tell where the first fault lies.  With finite_numbers it also
// refuses a number that converts to an infinity, which the encoder could
// not write back as JSON.
class Locator {
public:
    Locator(const std::string &text, int32_t limit, bool finite_numbers = false)
        : b_(reinterpret_cast<const unsigned char *>(text.data())), p_(b_), e_(b_ + text.size()), limit_(limit),
          finite_numbers_(finite_numbers) {}

    // True when the scan accepts the whole text; otherwise offset() and
    // reason() tell what went wrong.
    bool scan() {
        if (!value(0)) return false;
        if (p_ != e_) return fail(p_, "unexpected text after the value");
        return true;
    }
    size_t offset() const { return err_; }
    const std::string &reason() const { return why_; }

private:
    bool fail(const unsigned char *at, const std::string &why) {
        err_ = (size_t)(at - b_);
        why_ = why;
        return false;
    }
    bool end_fail() { return fail(e_, "unexpected end of input"); }
    static bool ws(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void skip_ws() {
        while (p_ < e_ && ws(*p_)) ++p_;
    }
    static bool digit(unsigned char c) { return c >= '0' && c <= '9'; }

    bool value(int32_t depth) {
        if (p_ == e_) return end_fail();
        if (depth >= limit_) return fail(p_, "nesting deeper than " + std::to_string(limit_) + " levels");
        switch (*p_) {
            case '"': return string();
            case 'n': return literal("null");
            case 't': return literal("true");
            case 'f': return literal("false");
            default: break;
        }
        if (*p_ == '-' || digit(*p_)) return number();
        const unsigned char *start = p_;
        skip_ws();
        if (p_ == e_) return end_fail();
        if (*p_ == '[') return container(depth, ']');
        if (*p_ == '{') return container(depth, '}');
        if (p_ != start) return fail(start, "whitespace is allowed only around an array or object at the top level");
        return fail(p_, "unexpected character");
    }

    bool literal(const char *word) {
        for (const char *w = word; *w; ++w, ++p_) {
            if (p_ == e_) return end_fail();
            if (*p_ != (unsigned char)*w) return fail(p_, std::string("invalid literal (expected ") + word + ")");
        }
        return true;
    }

    bool digits_after(const char *what) {
        if (p_ == e_) return end_fail();
        if (!digit(*p_)) return fail(p_, std::string("a digit must follow ") + what);
        while (p_ < e_ && digit(*p_)) ++p_;
        return true;
    }

    bool number() {
        const unsigned char *start = p_;
        if (!number_syntax()) return false;
        if (finite_numbers_) {
            // The same conversion as the decoder's.
            std::string digits(reinterpret_cast<const char *>(start), (size_t)(p_ - start));
            if (!isfinite(strtod(digits.c_str(), nullptr)))
                return fail(start, "number too large for a double (it would become infinite)");
        }
        return true;
    }

    bool number_syntax() {
        if (*p_ == '-') {
            ++p_;
            if (p_ == e_) return end_fail();
            if (!digit(*p_)) return fail(p_, "a digit must follow '-'");
        }
        if (*p_ == '0')
            ++p_;
        else
            while (p_ < e_ && digit(*p_)) ++p_;
        if (p_ < e_ && *p_ == '.') {
            ++p_;
            if (!digits_after("the decimal point")) return false;
        }
        if (p_ < e_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ < e_ && (*p_ == '+' || *p_ == '-')) ++p_;
            if (!digits_after("the exponent marker")) return false;
        }
        return true;
    }

    static int hex_digit(unsigned char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    }

    // Four hex digits at p_ (consumed); false with the failure recorded.
    bool hex4(int32_t *out) {
        int32_t v = 0;
        for (int i = 0; i < 4; ++i, ++p_) {
            if (p_ == e_) return end_fail();
            int d = hex_digit(*p_);
            if (d < 0) return fail(p_, "invalid hex digit in a \\u escape");
            v = v << 4 | d;
        }
        *out = v;
        return true;
    }

    bool escape_u() {
        const unsigned char *start = p_ - 2;  // at the backslash
        int32_t u;
        if (!hex4(&u)) return false;
        if (u >= 0xDC00 && u <= 0xDFFF) return fail(start, "low surrogate escape without a high one");
        if (u < 0xD800 || u > 0xDBFF) return true;
        const unsigned char *pair = p_;
        int32_t lo = 0;
        if (e_ - p_ < 6 || p_[0] != '\\' || p_[1] != 'u' || (p_ += 2, !hex4(&lo)) || lo < 0xDC00 || lo > 0xDFFF)
            return fail(pair, "a high surrogate escape must be followed by a low surrogate escape");
        return true;
    }

    bool utf8() {
        const unsigned char *s = p_;
        const unsigned char c = *s;
        int n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (!n) return fail(s, "invalid UTF-8");
        if (e_ - s < n) return fail(s, "invalid UTF-8");
        unsigned char lo = 0x80, hi = 0xBF;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
        if (s[1] < lo || s[1] > hi) return fail(s, "invalid UTF-8");
        for (int i = 2; i < n; ++i)
            if ((s[i] & 0xC0) != 0x80) return fail(s, "invalid UTF-8");
        p_ += n;
        return true;
    }

    bool string() {
        ++p_;
        for (;;) {
            if (p_ == e_) return end_fail();
            unsigned char c = *p_;
            if (c == '"') {
                ++p_;
                return true;
            }
            if (c < 0x20) return fail(p_, "control character in a string (escape it)");
            if (c >= 0x80) {
                if (!utf8()) return false;
                continue;
            }
            ++p_;
            if (c != '\\') continue;
            if (p_ == e_) return end_fail();
            c = *p_++;
            if (c == 'u') {
                if (!escape_u()) return false;
            } else if (!strchr("\"\\/bfnrt", c) || c == 0) {
                return fail(p_ - 1, "invalid escape");
            }
        }
    }

    bool container(int32_t depth, char close) {
        const bool object = close == '}';
        ++p_;
        skip_ws();
        if (p_ == e_) return end_fail();
        if (*p_ != close) {
            for (;;) {
                if (object) {
                    if (*p_ != '"') return fail(p_, "expected a member name in double quotes");
                    if (!string()) return false;
                    skip_ws();
                    if (p_ == e_) return end_fail();
                    if (*p_ != ':') return fail(p_, "expected ':' after the member name");
                    ++p_;
                    skip_ws();
                }
                if (!value(depth + 1)) return false;
                skip_ws();
                if (p_ == e_) return end_fail();
                if (*p_ == close) break;
                if (*p_ != ',') return fail(p_, std::string("expected ',' or '") + close + "'");
                ++p_;
                skip_ws();
                if (p_ == e_) return end_fail();
                if (*p_ == close) return fail(p_, "trailing comma");
            }
        }
        ++p_;
        skip_ws();
        return true;
    }

    const unsigned char *const b_;
    const unsigned char *p_;
    const unsigned char *const e_;
    const int32_t limit_;
    const bool finite_numbers_;
    size_t err_ = 0;
    std::string why_;
};

// Whether the tree holds a number the encoder would not write as JSON (an
// infinity or NaN).  An explicit stack: the depth follows the recursion
// limit, which the environment may raise.
bool has_nonfinite(const orbek_json *root) {
    std::vector<const orbek_json *> todo{root};
    while (!todo.empty()) {
        const orbek_json *v = todo.back();
        todo.pop_back();
        switch (orbek_json_gettype(v)) {
            case ORBEK_JSON_NUMBER:
                if (!isfinite(orbek_json_getnumber(v))) return true;
                break;
            case ORBEK_JSON_ARRAY:
                for (int32_t i = 0, n = orbek_json_getarraysize(v); i < n; ++i)
                    todo.push_back(orbek_json_getarrayitem(v, i));
                break;
            case ORBEK_JSON_OBJECT:
                orbek_json_traverse(const_cast<orbek_json *>(v),
                                    [](void *arg, const char *, int32_t, orbek_json *m) -> int32_t {
                                        static_cast<std::vector<const orbek_json *> *>(arg)->push_back(m);
                                        return 1;
                                    },
                                    &todo);
                break;
            default: break;
        }
    }
    return false;
}

// "name: invalid JSON at line L, column C (byte B): reason" for the fault
// the locator found.
void report_fault(const char *name, const std::string &text, const Locator &loc, const char *what) {
    size_t line = 1, col = 1;
    for (size_t i = 0; i < loc.offset(); ++i) {
        if (text[i] == '\n') {
            ++line;
            col = 1;
        } else {
            ++col;
        }
    }
    cli_error("json: %s: %s at line %llu, column %llu (byte %llu): %s", name, what, (unsigned long long)line,
              (unsigned long long)col, (unsigned long long)loc.offset(), loc.reason().c_str());
}

bool read_all(FILE *f, std::string *out) {
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
    return !ferror(f);
}

}  // namespace

int cmd_json(int argc, char **argv) {
    bool check = false, sort = false, pretty = false, crlf = false;
    long indent = -1;
    const char *file = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (strcmp(a, "--help") == 0) {
            fputs(kJsonUsage, stdout);
            return 0;
        } else if (strcmp(a, "--check") == 0) {
            check = true;
        } else if (strcmp(a, "--pretty") == 0) {
            pretty = true;
        } else if (strcmp(a, "--crlf") == 0) {
            crlf = true;
        } else if (strcmp(a, "--sort") == 0) {
            sort = true;
        } else if (strcmp(a, "--indent") == 0) {
            char *end = nullptr;
            if (i + 1 == argc || (indent = strtol(argv[i + 1], &end, 10), *end != '\0' || end == argv[i + 1]) ||
                indent < 0 || indent > 255) {
                cli_error("json: --indent needs a number from 0 to 255");
                fputs(kJsonUsage, stderr);
                return 2;
            }
            ++i;
        } else if (a[0] == '-' && a[1] != '\0') {
            cli_error("json: unknown option '%s'", a);
            fputs(kJsonUsage, stderr);
            return 2;
        } else if (file) {
            cli_error("json: only one FILE may be given");
            fputs(kJsonUsage, stderr);
            return 2;
        } else {
            file = a;
        }
    }

    const bool from_stdin = !file || strcmp(file, "-") == 0;
    const char *name = from_stdin ? "standard input" : file;
    std::string text;
    FILE *f = from_stdin ? stdin : fopen(file, "rb");
    if (!f) {
        cli_error("json: cannot open %s", file);
        return 1;
    }
    bool read_ok = read_all(f, &text);
    if (!from_stdin) fclose(f);
    if (!read_ok) {
        cli_error("json: cannot read %s", name);
        return 1;
    }
    if (text.size() > (size_t)INT32_MAX) {
        cli_error("json: %s is larger than 2 GiB", name);
        return 1;
    }

    orbek_json *v = orbek_json_decode(text.data(), (int32_t)text.size());
    if (!v) {
        Locator loc(text, orbek_get_recursive_level());
        if (loc.scan()) {
            // The grammar holds, so the decoder ran out of memory.
            cli_error("json: %s: cannot decode (out of memory)", name);
        } else {
            report_fault(name, text, loc, "invalid JSON");
        }
        return 1;
    }
    if (has_nonfinite(v)) {
        orbek_json_free(v);
        Locator loc(text, orbek_get_recursive_level(), true);
        if (loc.scan())
            cli_error("json: %s: a number cannot be written back as JSON", name);
        else
            report_fault(name, text, loc, "unusable number");
        return 1;
    }
    int rc = 0;
    if (!check) {
        uint32_t flags = 0;
        if (pretty || crlf || indent >= 0) flags |= ORBEK_JSON_PRETTY | ORBEK_JSON_LF;
        if (crlf) flags |= ORBEK_JSON_CR;
        if (indent > 0) flags |= ORBEK_JSON_SPACES | (uint32_t)indent;
        if (sort) flags |= ORBEK_JSON_SORT;
        char *out = nullptr;
        int32_t len = 0;
        if (orbek_json_encode(v, flags, &out, &len) != 1) {
            cli_error("json: cannot encode (out of memory)");
            rc = 1;
        } else {
            fwrite(out, 1, (size_t)len, stdout);
            fputs(crlf ? "\r\n" : "\n", stdout);
            orbek_free(out);
        }
    }
    orbek_json_free(v);
    return rc;
}
