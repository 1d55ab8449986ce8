// Decoder fuzz target with a round-trip check: whatever decodes must encode,
// and the text (compact or pretty, sorted or not) must decode to an equal
// tree, numbers compared by the encoder's own formatting.  The decoder's own
// UTF-8 check is held to the Unicode string constructor's verdict.
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "json/json.h"
#include "orbek_util.h"

namespace {

std::string encode(orbek_json *v, uint32_t flags) {
    char *text = nullptr;
    int32_t len = 0;
    if (orbek_json_encode(v, flags, &text, &len) != 1) abort();
    if (text[len] != '\0') abort();
    std::string s(text, (size_t)len);
    orbek_free(text);
    return s;
}

// Whether every number in the tree is finite (only those have JSON text).
bool finite_numbers(const orbek_json *v) {
    switch (orbek_json_gettype(v)) {
        case ORBEK_JSON_NUMBER: return isfinite(orbek_json_getnumber(v));
        case ORBEK_JSON_ARRAY:
            for (int32_t i = 0; i < orbek_json_getarraysize(v); ++i)
                if (!finite_numbers(orbek_json_getarrayitem(v, i))) return false;
            return true;
        case ORBEK_JSON_OBJECT: {
            bool ok = true;
            orbek_json_traverse(const_cast<orbek_json *>(v),
                                [](void *arg, const char *, int32_t, orbek_json *m) -> int32_t {
                                    if (finite_numbers(m)) return 1;
                                    *static_cast<bool *>(arg) = false;
                                    return 0;
                                },
                                &ok);
            return ok;
        }
        default: return true;
    }
}

struct Pair {
    const orbek_json *other;
    int32_t index;
    bool equal;
    bool trip;
};

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
                std::string t = encode(x, 0);
                orbek_json_free(x);
                orbek_json *y = orbek_json_decode(t.data(), (int32_t)t.size());
                if (!y) return false;
                want = orbek_json_getnumber(y);
                orbek_json_free(y);
            }
            return memcmp(&want, &got, sizeof want) == 0;
        }
        case ORBEK_JSON_BOOLEAN: return orbek_json_istrue(a) == orbek_json_istrue(b);
        case ORBEK_JSON_NULL: return true;
        case ORBEK_JSON_ARRAY:
            if (orbek_json_getarraysize(a) != orbek_json_getarraysize(b)) return false;
            for (int32_t i = 0; i < orbek_json_getarraysize(a); ++i)
                if (!equal(orbek_json_getarrayitem(a, i), orbek_json_getarrayitem(b, i), trip)) return false;
            return true;
        case ORBEK_JSON_OBJECT: {
            // Members pair up in order: walk a, and find b's member at the same
            // position by walking b up to it.
            Pair p{b, 0, true, trip};
            int32_t r = orbek_json_traverse(
                const_cast<orbek_json *>(a),
                [](void *arg, const char *key, int32_t len, orbek_json *value) -> int32_t {
                    Pair *pp = static_cast<Pair *>(arg);
                    struct Seek {
                        int32_t want, at;
                        const char *key;
                        int32_t len;
                        orbek_json *value;
                    } s{pp->index, 0, nullptr, 0, nullptr};
                    orbek_json_traverse(const_cast<orbek_json *>(pp->other),
                                        [](void *sa, const char *k, int32_t l, orbek_json *v) -> int32_t {
                                            Seek *sk = static_cast<Seek *>(sa);
                                            if (sk->at++ != sk->want) return 1;
                                            sk->key = k;
                                            sk->len = l;
                                            sk->value = v;
                                            return 0;
                                        },
                                        &s);
                    ++pp->index;
                    if (!s.value || s.len != len || memcmp(s.key, key, (size_t)len) != 0 || !equal(value, s.value, pp->trip)) {
                        pp->equal = false;
                        return 0;
                    }
                    return 1;
                },
                &p);
            return r == 1 && p.equal && p.index == [&] {
                int32_t n = 0;
                orbek_json_traverse(const_cast<orbek_json *>(b),
                                    [](void *c, const char *, int32_t, orbek_json *) -> int32_t {
                                        ++*static_cast<int32_t *>(c);
                                        return 1;
                                    },
                                    &n);
                return n;
            }();
        }
        default: return false;
    }
}

orbek_json *decode(const std::string &s) { return orbek_json_decode(s.data(), (int32_t)s.size()); }

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
        if (orbek_json_gettype(copy) == ORBEK_JSON_ARRAY)
            for (int32_t i = 1; i < orbek_json_getarraysize(copy); ++i)
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
