#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

struct Json {  // owns a value for the length of a test
    orbek_json *v;
    explicit Json(orbek_json *p) : v(p) {}
    ~Json() { orbek_json_free(v); }
    Json(const Json &) = delete;
    operator orbek_json *() const { return v; }
};

orbek_json *decode(const std::string &s) { return orbek_json_decode(s.data(), (int32_t)s.size()); }
orbek_json *num(double x) { return orbek_json_newnumber(x); }

bool decodes(const std::string &s) { return Json(decode(s)).v != nullptr; }

// The encoded text, or "<fail>".
std::string encode(orbek_json *v, uint32_t flags = 0) {
    char *text = nullptr;
    int32_t len = -1;
    if (orbek_json_encode(v, flags, &text, &len) != 1) return "<fail>";
    EXPECT_EQ(text[len], '\0');
    std::string out(text, (size_t)len);
    orbek_free(text);
    return out;
}

std::string reencode(const std::string &s, uint32_t flags = 0) {
    Json v(decode(s));
    return v.v ? encode(v, flags) : "<invalid>";
}

std::string str(const orbek_json *v) {
    return std::string(orbek_json_getstring(v), (size_t)orbek_json_getstringlength(v));
}

}  // namespace

TEST(JsonModel, KindQueriesAndStringCopies) {
    Json t(orbek_json_newboolean(-7)), x(num(2.5));
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_JSON");
    const std::vector<int32_t> answers{orbek_json_istrue(t), orbek_json_istrue(x), orbek_json_gettype(nullptr),
                                       orbek_json_getstringlength(t)};
    EXPECT_EQ(answers, (std::vector<int32_t>{1, 0, -1, -1}));
    EXPECT_EQ(orbek_json_getnumber(t), -1.0);
    EXPECT_EQ(orbek_json_getstring(x), nullptr);

    for (orbek_json *refused : {orbek_json_newstring("\xC3\x28", 2), orbek_json_newstring("\xED\xA0\x80", 3),
                                orbek_json_newstring("a", -1), orbek_json_newstring("a", INT32_MAX),
                                orbek_json_newstring(nullptr, 1)})
        EXPECT_EQ(refused, nullptr);
    Json empty(orbek_json_newstring(nullptr, 0));
    ASSERT_NE(orbek_json_getstring(empty), nullptr);
    EXPECT_EQ(orbek_json_getstring(empty)[0], '\0');
    char buf[] = {'a', 0, (char)0xC3, (char)0xA9, 'z'};
    Json s(orbek_json_newstring(buf, 4));
    buf[0] = 'X';
    EXPECT_EQ(str(s), std::string("a\0\xC3\xA9", 4));
    EXPECT_EQ(orbek_json_getstring(s)[4], '\0');
}

TEST(JsonModel, DuplicateKeysAddFindLastUpdateAndDeleteFirst) {
    Json o(orbek_json_newobject()), one(num(1)), two(num(2)), three(num(3));
    ASSERT_EQ(orbek_json_addobjectitem(o, "a", 1, one), 1);
    ASSERT_EQ(orbek_json_addobjectitem(o, "a", 1, two), 1);
    ASSERT_EQ(orbek_json_updateobjectitem(o, "a", 1, three), 1);
    EXPECT_EQ(encode(o), "{\"a\":3,\"a\":2}");
    EXPECT_EQ(orbek_json_getnumber(orbek_json_getobjectvalue(o, "a", 1)), 2);
    ASSERT_EQ(orbek_json_deleteobjectitem(o, "a", 1), 1);
    // Update of a missing key appends; the empty key is a key like others.
    ASSERT_EQ(orbek_json_updateobjectitem(o, "", 0, one), 1);
    ASSERT_EQ(orbek_json_updateobjectitem(o, nullptr, 0, two), 1);
    EXPECT_EQ(encode(o), "{\"a\":2,\"\":2}");
    EXPECT_EQ(orbek_json_getobjectvalue(o, "A", 1), nullptr);
    EXPECT_EQ(orbek_json_getobjectvalue(o, "ab", 1), orbek_json_getobjectvalue(o, "a", 1));
    EXPECT_EQ(orbek_json_deleteobjectitem(o, "b", 1), 0);
    // Refusals change nothing.
    EXPECT_EQ(orbek_json_getobjectvalue(o, "a", -1), nullptr);
    const std::vector<int32_t> refused{
        orbek_json_addobjectitem(o, "\xC0\x80", 2, one), orbek_json_addobjectitem(o, "k", 1, nullptr),
        orbek_json_addobjectitem(one, "k", 1, two),      orbek_json_updateobjectitem(o, "k", -1, one),
        orbek_json_updateobjectitem(o, nullptr, 1, one), orbek_json_deleteobjectitem(o, nullptr, 1)};
    EXPECT_EQ(refused, std::vector<int32_t>(6, 0));
    EXPECT_EQ(encode(o), "{\"a\":2,\"\":2}");
}

TEST(JsonModel, ArraysAndDupHoldIndependentDeepCopies) {
    Json a(orbek_json_newarray()), o(orbek_json_newobject());
    {
        Json inner(orbek_json_newobject());
        ASSERT_EQ(orbek_json_addobjectitem(inner, "k", 1, Json(num(1))), 1);
        ASSERT_EQ(orbek_json_addarrayitem(a, inner) + orbek_json_addarrayitem(a, inner), 2);
    }  // the array's copies outlive the original
    EXPECT_NE(orbek_json_getarrayitem(a, 0), orbek_json_getarrayitem(a, 1));
    for (orbek_json *none :
         {orbek_json_getarrayitem(a, 2), orbek_json_getarrayitem(a, -1), orbek_json_getarrayitem(o, 0)})
        EXPECT_EQ(none, nullptr);
    ASSERT_EQ(orbek_json_addarrayitem(a, Json(num(3))), 1);
    const std::vector<int32_t> refused{orbek_json_addarrayitem(a, nullptr), orbek_json_getarraysize(o),
                                       orbek_json_addarrayitem(o, a), orbek_json_deletearrayitem(o, 0),
                                       orbek_json_deletearrayitem(a, 3)};
    EXPECT_EQ(refused, (std::vector<int32_t>{0, -1, 0, 0, 0}));
    ASSERT_EQ(orbek_json_deletearrayitem(a, 0), 1);
    EXPECT_EQ(encode(a), "[{\"k\":1},3]");

    Json src(decode("{\"a\":[1,{\"b\":\"x\\u0000y\"}],\"c\":null,\"d\":true,\"e\":\"\"}")), copy(orbek_json_dup(src));
    const std::string before = encode(src);
    orbek_json *arr = orbek_json_getobjectvalue(copy, "a", 1);
    ASSERT_EQ(orbek_json_deletearrayitem(arr, 0), 1);
    ASSERT_EQ(orbek_json_updateobjectitem(orbek_json_getarrayitem(arr, 0), "b", 1, Json(num(5))), 1);
    EXPECT_EQ(encode(src), before);
    EXPECT_EQ(encode(copy), "{\"a\":[{\"b\":5}],\"c\":null,\"d\":true,\"e\":\"\"}");
    EXPECT_EQ(orbek_json_dup(nullptr), nullptr);
}

TEST(JsonModel, TraverseVisitsMembersInOrderAndStops) {
    std::vector<std::string> keys;
    auto visit = [](void *arg, const char *key, int32_t len, orbek_json *value) -> int32_t {
        auto *keys = static_cast<std::vector<std::string> *>(arg);
        keys->emplace_back(value ? std::string(key, (size_t)len) : "<null>");
        return keys->back() != "stop";
    };
    Json o(decode("{\"x\":1,\"\":{\"deep\":2},\"x\":3}")), stop(decode("{\"a\":1,\"stop\":2,\"b\":3}"));
    Json empty(orbek_json_newobject()), arr(orbek_json_newarray());
    EXPECT_EQ(orbek_json_traverse(o, visit, &keys), 1);
    EXPECT_EQ(orbek_json_traverse(stop, visit, &keys), 0);
    EXPECT_EQ(orbek_json_traverse(empty, visit, &keys), 1);
    EXPECT_EQ(orbek_json_traverse(arr, visit, &keys), 0);
    EXPECT_EQ(orbek_json_traverse(o, nullptr, &keys), 0);
    EXPECT_EQ(keys, (std::vector<std::string>{"x", "", "x", "a", "stop"}));
}

TEST(JsonEncode, GoldenTextsEscapesNumbersLayoutsAndSorting) {
    const uint32_t sort = ORBEK_JSON_SORT;
    const struct { const char *doc; uint32_t flags; const char *text; } cases[] = {
        // Control bytes, and only they, are escaped, always in the \u form.
        {"\"\\u0000\\u0001\\b\\t\\n\\f\\r\\u001f \\\"\\\\\\/\x7F\xC3\xA9\"", 0,
         "\"\\u0000\\u0001\\u0008\\u0009\\u000A\\u000C\\u000D\\u001F \\\"\\\\/\x7F\xC3\xA9\""},
        {"-7", 0, "-7"}, {"-0", 0, "0"}, {"2.5", 0, "2.5"}, {"0.1", 0, "0.1"}, {"1.23456789", 0, "1.234568"},
        {"-1e-9", 0, "-0"}, {"1e-7", 0, "0"}, {"2147483647", 0, "2147483647"}, {"2147483648", 0, "2147483648"},
        {"-2147483648", 0, "-2147483648"}, {"-2147483649", 0, "-2147483649"}, {"1e20", 0, "100000000000000000000"},
        {"{\"a\":[1,2]}", 0x90000000u, "{\n\t\"a\":[1,2]\n}"}, {"[1,2]", 0x90000000u, "[\n\t1,\n\t2\n]"},
        {"[1,2]", 0xC0000002u, "[  \t1,  \t2]"},  // no line ends without bits 28/29
        {"[1,2]", 0xF0000002u, "[\r\n  \t1,\r\n  \t2\r\n]"},
        {"[1,2]", 0xE0000000u, "[\r\t1,\r\t2\r]"},  // bit 30 with N = 0 is one TAB
        {"[1,2]", 0x700000FFu, "[1,2]"},            // layout bits need bit 31
        {"[[],{},[3]]", 0x90000000u, "[\n\t[\n\t],\n\t{\n\t},\n\t[\n\t\t3\n\t]\n]"}, {"{}", 0x90000000u, "{\n}"},
        {"{\"k\":{\"a\":[1,{\"b\":2}]},\"z\":\"s\"}", 0xD0000001u,
         "{\n \t\"k\":{\"a\":[1,{\"b\":2}]},\n \t\"z\":\"s\"\n}"},
        // Sorting: the top level only, kinds first, then per-kind order; equal
        // keys order by value, shorter containers first; scalars stay alone.
        {"[[2,1],{\"b\":0},null,true,false,3,-1,\"b\",\"ab\",\"a\",\"\xC3\xA9\",[0],{},{\"a\":0}]", sort,
         "[\"a\",\"ab\",\"b\",\"\xC3\xA9\",-1,3,false,true,null,{},{\"a\":0},{\"b\":0},[0],[2,1]]"},
        {"{\"k\":[1,2],\"k\":[3],\"k\":[1,1],\"j\":{}}", sort, "{\"j\":{},\"k\":[3],\"k\":[1,1],\"k\":[1,2]}"},
        {"5", sort | ORBEK_JSON_PRETTY, "5"},
    };
    for (const auto &c : cases) EXPECT_EQ(reencode(c.doc, c.flags), c.text) << c.doc << " " << c.flags;
    // The longest fixed-notation text is written whole.
    const std::string big = reencode("-1.7976931348623157e308");
    EXPECT_EQ(big.size(), 310u);
    EXPECT_EQ(big.substr(0, 6), "-17976");

    Json o(decode("{\"b\":1,\"a\":2}"));
    EXPECT_EQ(encode(o, sort), "{\"a\":2,\"b\":1}");
    EXPECT_EQ(encode(o), "{\"a\":2,\"b\":1}") << "the caller's object stays sorted";
    char *text = reinterpret_cast<char *>(1);
    int32_t len = 77;
    EXPECT_EQ(orbek_json_encode(nullptr, 0, &text, &len) + orbek_json_encode(o, 0, nullptr, &len) +
                  orbek_json_encode(o, 0, &text, nullptr), 0);
    EXPECT_TRUE(text == reinterpret_cast<char *>(1) && len == 77) << "outputs untouched";
}

TEST(JsonDecode, StrictGrammarExactLengthAndNumbers) {
    // Whitespace surrounds only a container at the top level.
    for (const char *good : {"[1,2] ", " \t\r\n[1] \n", " {}"}) EXPECT_TRUE(decodes(good)) << good;
    const char *bad[] = {"12 ", " 1", " \"s\"", "true ", "", "   ", "[1]x", "[1] [2]", "[1]\f", "[1,]",
                         "{\"a\":1,}", "[,1]", "{,}", "[1 2]", "{\"a\" 1}", "{\"a\":}", "{a:1}", "{1:1}", "[",
                         "[1", "[1,", "{", "{\"a\"", "{\"a\":1", "nul", "nullx", "[nullx]", "tru", "[True]", "+1",
                         ".5", "1.", "1e", "1e+", "-", "-a", "01", "[01]", "[1.e3]", "[0x10]", "[-]",
                         "{\"a\":1 \"b\":2}", "[]]", "\"abc", "\"a\\\"", "[\"\\\"]"};
    for (const char *b : bad) EXPECT_FALSE(decodes(b)) << b;
    EXPECT_TRUE(!orbek_json_decode(nullptr, 0) && !orbek_json_decode("[1]", -3));
    // Only length bytes are read: no NUL is needed, and bytes past it are ignored.
    EXPECT_EQ(encode(Json(orbek_json_decode("[7]]", 3))), "[7]");
    EXPECT_EQ(reencode("{ \"a\" : [ null,true,false,0,-0,1E+2,2.5e-1 , { } ] , \"b\" :\"c\" }"),
              "{\"a\":[null,true,false,0,0,100,0.25,{}],\"b\":\"c\"}");

    // Numbers convert as the runtime's decimal conversion does.
    for (const char *t : {"-2.75", "9007199254740993", "1e23", "2.2250738585072014e-308", "4.9e-324", "1e400",
                          "17976931348623157e292", "123456789012345678901234567890", "0.000001e-17", "-0e-5"}) {
        Json v(decode(t));
        ASSERT_NE(v.v, nullptr) << t;
        EXPECT_EQ(orbek_json_getnumber(v), strtod(t, nullptr)) << t;
    }
    EXPECT_TRUE(signbit(orbek_json_getnumber(Json(decode("-0")))));
}

TEST(JsonDecode, StringsEscapesUtf8AndKeys) {
    const struct { const char *doc; std::string value; } cases[] = {
        {"\"\\uD83D\\uDE00\"", "\xF0\x9F\x98\x80"},
        {"\"\\u00e9\\u00E9\\u20AC\\u0000\"", std::string("\xC3\xA9\xC3\xA9\xE2\x82\xAC\0", 8)},
        {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\/\b\f\n\r\t"},
        {"\"\xC3\xA9\xF0\x9F\x98\x80/\x7F\"", "\xC3\xA9\xF0\x9F\x98\x80/\x7F"},
    };
    for (const auto &c : cases) EXPECT_EQ(str(Json(decode(c.doc))), c.value) << c.doc;
    const char *bad[] = {"\"\\uDE00\"", "\"\\uD83Dx\"", "\"\\uD83D\\u0041\"", "\"\\uD83D\\uD83D\"", "\"\\uD83D\"",
                         "\"\\uD83D\\uDE0\"", "\"\\u12\"", "\"\\u12G4\"", "\"\\x41\"", "\"\\U00e9\"", "\"a\tb\"",
                         "\"\n\"", "\"\xC0\x80\"", "\"\xED\xA0\x80\"", "\"\xC3\"", "\"\x80\"", "\"\xF4\x90\x80\x80\"",
                         "[\"\\", "{\"\xC0\x80\":1}"};
    for (const char *b : bad) EXPECT_FALSE(decodes(b)) << b;
    EXPECT_FALSE(decodes(std::string("\"\0\"", 3)));

    // Repeated keys are kept; lookup finds the last.
    Json o(decode("{\"a\":1,\"\\u00e9\":3,\"a\":2}"));
    EXPECT_EQ(encode(o), "{\"a\":1,\"\xC3\xA9\":3,\"a\":2}");
    EXPECT_EQ(orbek_json_getnumber(orbek_json_getobjectvalue(o, "a", 1)), 2);
    EXPECT_EQ(orbek_json_getnumber(orbek_json_getobjectvalue(o, "\xC3\xA9", 2)), 3);
}

// Strings assembled from pieces (raw text and what it decodes to) at every
// alignment, so that escapes, escaped quotes, backslash runs and multi-byte
// sequences meet every position of the decoder's 16-byte steps; and the same
// strings with one bad piece, which must refuse the whole document.
TEST(JsonDecode, EscapeDenseStringsAtEveryAlignment) {
    struct Piece {
        const char *raw, *decoded;
    };
    static const Piece good[] = {
        {"ab", "ab"}, {" ", " "}, {"\\\"", "\""}, {"\\\\", "\\"}, {"\\\\\\\\", "\\\\"}, {"\\n", "\n"},
        {"\\/", "/"}, {"\\b\\f\\r\\t", "\b\f\r\t"}, {"\\u001f", "\x1f"}, {"\\u0000", std::string(1, '\0').c_str()},
        {"\\u00E9", "\xC3\xA9"}, {"\\u4e2d", "\xE4\xB8\xAD"}, {"\\uFFFF", "\xEF\xBF\xBF"},
        {"\\u007F\\u0080\\u07FF\\u0800", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
        {"\\ud83d\\uDE00", "\xF0\x9F\x98\x80"}, {"\xC3\x9F", "\xC3\x9F"}, {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"}, {"\\\\\\\"", "\\\""}};
    static const char *bad[] = {"\x01", "\\\x01", "\\x", "\\\xC3\xA9", "\\ud83d", "\\ude00", "\\ud83dx",
                                "\\ud83d\\u0041", "\\u12G4", "\xC0\x80", "\xED\xA0\x80", "\xC3", "\\\\\""};
    uint32_t seed = 7;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const size_t n_good = sizeof good / sizeof good[0];
    for (int round = 0; round < 300; ++round) {
        std::string raw(next(17), 'x'), want = raw;  // shifts the pieces across the steps
        std::vector<size_t> bounds{0, raw.size()};
        for (int k = 0, n = 2 + (int)next(30); k < n; ++k) {
            const Piece &p = good[next(n_good)];
            raw += p.raw;
            bounds.push_back(raw.size());
            // "\u0000" decodes to one NUL byte, which the table cannot spell.
            want += strcmp(p.raw, "\\u0000") == 0 ? std::string(1, '\0') : std::string(p.decoded);
        }
        for (const std::string &doc : {"\"" + raw + "\"", "{\"" + raw + "\":\"" + raw + "\"}", "[\"" + raw + "\"]"}) {
            Json v(decode(doc));
            ASSERT_NE(v.v, nullptr) << doc;
            const orbek_json *sv = orbek_json_gettype(v) == ORBEK_JSON_STRING ? v.v
                                 : orbek_json_gettype(v) == ORBEK_JSON_ARRAY ? orbek_json_getarrayitem(v, 0)
                                 : orbek_json_getobjectvalue(v, want.data(), (int32_t)want.size());
            ASSERT_NE(sv, nullptr) << doc;
            EXPECT_EQ(str(sv), want) << doc;
        }
        // One bad piece between any two refuses the document; so does a
        // missing closing quote, even after a trailing backslash run.
        const size_t at = bounds[next((uint32_t)bounds.size())];
        const std::string broken = raw.substr(0, at) + bad[round % (sizeof bad / sizeof bad[0])] + raw.substr(at);
        EXPECT_EQ(Json(decode("\"" + broken + "\"")).v, nullptr) << broken;
        EXPECT_EQ(Json(decode("{\"k\":\"" + broken + "\"}")).v, nullptr) << broken;
        EXPECT_EQ(Json(decode("\"" + raw)).v, nullptr);
        EXPECT_EQ(Json(decode("\"" + raw + "\\")).v, nullptr);
    }
}

TEST(JsonDecode, NestingLimitFromTheRecursionLevel) {
    const int limit = orbek_get_recursive_level();
    ASSERT_GE(limit, 8);
    auto nested = [](int n, const std::string &open, std::string s) {
        for (int i = 0; i < n; ++i) s = open + s + (open[0] == '[' ? "]" : "}");
        return s;
    };
    // A scalar inside the deepest allowed array would sit at the limit.
    const struct { int depth; const char *open, *inner; } cases[] = {
        {limit, "[", ""}, {limit - 1, "[", "1"}, {limit - 1, "{\"k\":", "{}"}};
    for (const auto &c : cases) {
        EXPECT_TRUE(decodes(nested(c.depth, c.open, c.inner))) << c.open << c.inner;
        EXPECT_FALSE(decodes(nested(c.depth + 1, c.open, c.inner))) << c.open << c.inner;
    }
    const std::string deep = reencode(nested(limit, "[", ""));
    EXPECT_EQ(reencode(deep), deep);
}

TEST(JsonSweep, DecodeEncodeDupAndEditsFailCleanly) {
    // More than 16 members, so that the object's list grows.
    std::string doc =
        "{\"name\":\"caf\\u00e9 \\uD83D\\uDE00\",\"list\":[1,2.5,-3e2,true,false,null,\"\xC3\xA9\"],"
        "\"nested\":{\"a\":{\"b\":[[],{},[{\"c\":\"\\u0001\"}]]}},\"dup\":1,\"dup\":2";
    for (int i = 1; i <= 17; ++i) doc += ",\"k" + std::to_string(i) + "\":" + std::to_string(i);
    doc += "}";
    const std::string want = reencode(doc);
    EXPECT_GT(testalloc::sweep([&] {
                  Json v(decode(doc));
                  // Only the decoding is swept: a success that swallowed a failure
                  // is left for the sweep to see, otherwise the rest runs unhindered.
                  if (!v.v || testalloc::failure_hit()) return v.v != nullptr;
                  testalloc::fail_nth(0);
                  return encode(v) == want;
              }),
              40);

    // Encoding (sorting in place as it goes) and copying give the undisturbed
    // result or fail cleanly, also 40 levels deep: deeper than the walks keep
    // without allocating, so their path must grow (and may fail to).
    auto sweep_encode_and_dup = [](const std::string &text, uint32_t flags) {
        Json v(decode(text));
        const std::string want = reencode(text, flags);
        testalloc::sweep([&] { return encode(v, flags) == want; });
        const std::string compact = encode(v);
        testalloc::sweep([&] {
            Json copy(orbek_json_dup(v));
            return copy.v && encode(copy) == compact;
        });
        return want;
    };
    sweep_encode_and_dup(doc, 0xF0100004u);
    std::string deep = "null";
    for (int i = 39; i >= 0; --i) deep = std::string(i % 2 ? "{\"k\":" : "[0,") + deep + (i % 2 ? "}" : "]");
    const std::string pretty = sweep_encode_and_dup("[" + deep + "," + deep + ",[]]", 0xD0100000u);
    EXPECT_EQ(pretty.substr(0, 8), "[\n\t[\n\t],") << "the shorter item sorts first";

    // Editing under allocation failure leaves the object unchanged.
    Json src(decode(doc)), other(decode("[1,[2,[3]]]"));
    Json n0(orbek_json_dup(orbek_json_getobjectvalue(src, "nested", 6)));
    const std::string before = encode(src);
    auto edit_sweep = [&](const std::function<bool()> &edit, const std::function<bool()> &undo) {
        testalloc::sweep([&] {
            bool ok = edit();
            if (ok && !testalloc::failure_hit()) {
                testalloc::fail_nth(0);
                EXPECT_TRUE(undo());
            }
            EXPECT_EQ(encode(src), before);  // refused, or done and undone
            return ok;
        });
    };
    edit_sweep([&] { return orbek_json_updateobjectitem(src, "nested", 6, other) == 1; },
               [&] { return orbek_json_updateobjectitem(src, "nested", 6, n0) == 1; });
    edit_sweep([&] { return orbek_json_addobjectitem(src, "\xC3\xA9", 2, other) == 1; },
               [&] { return orbek_json_deleteobjectitem(src, "\xC3\xA9", 2) == 1; });
}
