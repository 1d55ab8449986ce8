// Decoder fuzz target with a round-trip check: whatever decodes must encode,
// and the text (compact or pretty, sorted or not) must decode to an equal
// tree, numbers compared by the encoder's own formatting.  The decoder's own
// UTF-8 check is held to the Unicode string constructor's verdict.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "json/json.h"
#include "orbek_util.h"

namespace {

std::string encode(orbek_json *v, uint32_t flags) {
    char *text = nullptr;
    int32_t len = 0;
    if (orbek_json_encode(v, flags, &text, &len) != 1 || text[len] != '\0') abort();
    std::string s(text, (size_t)len);
    orbek_free(text);
    return s;
}

orbek_json *decode(const std::string &s) { return orbek_json_decode(s.data(), (int32_t)s.size()); }

// A container's members in order: an object's keys and values, an array's
// items (with empty keys).
using Members = std::vector<std::pair<std::string, orbek_json *>>;
Members members(const orbek_json *v) {
    Members m;
    for (int32_t i = 0; i < orbek_json_getarraysize(v); ++i) m.emplace_back("", orbek_json_getarrayitem(v, i));
    orbek_json_traverse(const_cast<orbek_json *>(v),
                        [](void *arg, const char *key, int32_t len, orbek_json *value) -> int32_t {
                            static_cast<Members *>(arg)->emplace_back(std::string(key, (size_t)len), value);
                            return 1;
                        },
                        &m);
    return m;
}

// Whether every number in the tree is finite (only those have JSON text).
bool finite_numbers(const orbek_json *v) {
    if (orbek_json_gettype(v) == ORBEK_JSON_NUMBER) return isfinite(orbek_json_getnumber(v));
    for (const auto &m : members(v))
        if (!finite_numbers(m.second)) return false;
    return true;
}

bool equal(const orbek_json *a, const orbek_json *b, bool trip) {
    const int32_t kind = orbek_json_gettype(a);
    if (kind != orbek_json_gettype(b)) return false;
    switch (kind) {
        case ORBEK_JSON_STRING:
            return orbek_json_getstringlength(a) == orbek_json_getstringlength(b) &&
                   memcmp(orbek_json_getstring(a), orbek_json_getstring(b), (size_t)orbek_json_getstringlength(a)) == 0;
        case ORBEK_JSON_NUMBER: {
            // Exact, or (after a trip through text) what the encoder's own
            // formatting of a reads back as.
            double want = orbek_json_getnumber(a), got = orbek_json_getnumber(b);
            if (trip) {
                orbek_json *x = orbek_json_newnumber(want);
                orbek_json *y = decode(encode(x, 0));
                orbek_json_free(x);
                if (!y) return false;
                want = orbek_json_getnumber(y);
                orbek_json_free(y);
            }
            return memcmp(&want, &got, sizeof want) == 0;
        }
        case ORBEK_JSON_BOOLEAN: return orbek_json_istrue(a) == orbek_json_istrue(b);
        case ORBEK_JSON_NULL: return true;
        case ORBEK_JSON_ARRAY:
        case ORBEK_JSON_OBJECT: {
            const Members x = members(a), y = members(b);
            if (x.size() != y.size()) return false;
            for (size_t i = 0; i < x.size(); ++i)
                if (x[i].first != y[i].first || !equal(x[i].second, y[i].second, trip)) return false;
            return true;
        }
        default: return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > (1u << 20)) return 0;
    const char *text = reinterpret_cast<const char *>(data);

    orbek_ustring *u = orbek_ustring_newutf8(data, (int32_t)size);
    if (orbek::json::utf8_valid(text, size) != (u != nullptr)) abort();
    orbek_ustring_free(u);

    orbek_json *v = orbek_json_decode(text, (int32_t)size);
    if (!v) return 0;
    // A number decodes to what the runtime's decimal conversion gives.
    if (orbek_json_gettype(v) == ORBEK_JSON_NUMBER) {
        const std::string copy(text, size);
        const double want = strtod(copy.c_str(), nullptr), got = orbek_json_getnumber(v);
        if (memcmp(&want, &got, sizeof want) != 0) abort();
    }
    const std::string compact = encode(v, 0);
    if (finite_numbers(v)) {
        orbek_json *w = decode(compact);
        if (!w || !equal(v, w, true)) abort();
        orbek_json *copy = orbek_json_dup(w);
        if (!copy || !equal(w, copy, false)) abort();
        for (uint32_t flags : {0x90000000u, 0xF0000003u, 0xE0000000u}) {
            orbek_json *p = decode(encode(w, flags));
            if (!p || !equal(w, p, true)) abort();
            orbek_json_free(p);
        }
        // Sorting reorders only the top level; the text still decodes to a
        // tree with the same members, in the sorted order.
        orbek_json *s = decode(encode(copy, ORBEK_JSON_SORT));
        if (!s || !equal(copy, s, true)) abort();
        bool failed = false;
        for (int32_t i = 1; i < orbek_json_getarraysize(copy); ++i)  // -1 for an object
            if (orbek::json::compare(orbek_json_getarrayitem(copy, i - 1), orbek_json_getarrayitem(copy, i),
                                     &failed) > 0)
                abort();
        orbek_json_free(s);
        orbek_json_free(copy);
        orbek_json_free(w);
    }
    orbek_json_free(v);
    return 0;
}
