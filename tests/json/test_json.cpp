#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "orbek_util.h"
#include "support/test_alloc.h"

namespace {

// Owns a value for the length of a test.
struct Json {
    orbek_json *v;
    explicit Json(orbek_json *p) : v(p) {}
    ~Json() { orbek_json_free(v); }
    Json(const Json &) = delete;
    Json &operator=(const Json &) = delete;
    operator orbek_json *() const { return v; }
};

orbek_json *decode(const std::string &s) { return orbek_json_decode(s.data(), (int32_t)s.size()); }

bool decodes(const std::string &s) {
    orbek_json *v = decode(s);
    orbek_json_free(v);
    return v != nullptr;
}

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

orbek_json *num(double x) { return orbek_json_newnumber(x); }

}  // namespace

// ---------------------------------------------------------------- model

TEST(JsonModel, QueriesAnswerOnlyForTheirKind) {
    Json t(orbek_json_newboolean(-7)), x(num(2.5));
    EXPECT_STREQ(testalloc::last_file(), "ORBEK_JSON");
    EXPECT_EQ(orbek_json_istrue(t), 1);
    EXPECT_EQ(orbek_json_istrue(x), 0);
    EXPECT_EQ(orbek_json_gettype(nullptr), -1);
    EXPECT_EQ(orbek_json_getnumber(t), -1.0);
    EXPECT_EQ(orbek_json_getstring(x), nullptr);
    EXPECT_EQ(orbek_json_getstringlength(t), -1);
}

TEST(JsonModel, StringsAreValidatedCopiesWithANul) {
    const char bad[] = {(char)0xC3, 0x28};
    EXPECT_EQ(orbek_json_newstring(bad, 2), nullptr);
    EXPECT_EQ(orbek_json_newstring("\xED\xA0\x80", 3), nullptr) << "encoded surrogate";
    EXPECT_EQ(orbek_json_newstring("a", -1), nullptr);
    EXPECT_EQ(orbek_json_newstring("a", INT32_MAX), nullptr);
    EXPECT_EQ(orbek_json_newstring(nullptr, 1), nullptr);

    Json empty(orbek_json_newstring(nullptr, 0));
    ASSERT_NE(empty.v, nullptr);
    EXPECT_EQ(orbek_json_getstringlength(empty), 0);
    ASSERT_NE(orbek_json_getstring(empty), nullptr);
    EXPECT_EQ(orbek_json_getstring(empty)[0], '\0');

    char buf[] = {'a', 0, (char)0xC3, (char)0xA9, 'z'};
    Json s(orbek_json_newstring(buf, 4));
    ASSERT_NE(s.v, nullptr);
    buf[0] = 'X';
    EXPECT_EQ(orbek_json_getstringlength(s), 4);
    EXPECT_EQ(str(s), std::string("a\0\xC3\xA9", 4));
    EXPECT_EQ(orbek_json_getstring(s)[4], '\0');
}

TEST(JsonModel, DuplicateKeysAddFindLastUpdateAndDeleteFirst) {
    Json o(orbek_json_newobject()), one(num(1)), two(num(2)), three(num(3));
    ASSERT_EQ(orbek_json_addobjectitem(o, "a", 1, one), 1);
    ASSERT_EQ(orbek_json_addobjectitem(o, "a", 1, two), 1);
    EXPECT_EQ(orbek_json_getnumber(orbek_json_getobjectvalue(o, "a", 1)), 2);
    ASSERT_EQ(orbek_json_updateobjectitem(o, "a", 1, three), 1);
    EXPECT_EQ(encode(o), "{\"a\":3,\"a\":2}");
    EXPECT_EQ(orbek_json_getnumber(orbek_json_getobjectvalue(o, "a", 1)), 2);
    ASSERT_EQ(orbek_json_deleteobjectitem(o, "a", 1), 1);
    EXPECT_EQ(encode(o), "{\"a\":2}");

    // Update of a missing key appends; the empty key is a key like others.
    ASSERT_EQ(orbek_json_updateobjectitem(o, "", 0, one), 1);
    ASSERT_EQ(orbek_json_updateobjectitem(o, nullptr, 0, two), 1);
    EXPECT_EQ(encode(o), "{\"a\":2,\"\":2}");
    EXPECT_EQ(orbek_json_getnumber(orbek_json_getobjectvalue(o, nullptr, 0)), 2);
    // Keys match by exact bytes and length.
    EXPECT_EQ(orbek_json_getobjectvalue(o, "A", 1), nullptr);
    EXPECT_EQ(orbek_json_getobjectvalue(o, "ab", 1), orbek_json_getobjectvalue(o, "a", 1));
    EXPECT_EQ(orbek_json_deleteobjectitem(o, "b", 1), 0);

    // Refusals change nothing.
    EXPECT_EQ(orbek_json_addobjectitem(o, "\xC0\x80", 2, one), 0);
    EXPECT_EQ(orbek_json_addobjectitem(o, "k", 1, nullptr), 0);
    EXPECT_EQ(orbek_json_addobjectitem(one, "k", 1, two), 0);
    EXPECT_EQ(orbek_json_updateobjectitem(o, "k", -1, one), 0);
    EXPECT_EQ(orbek_json_updateobjectitem(o, nullptr, 1, one), 0);
    EXPECT_EQ(orbek_json_deleteobjectitem(o, nullptr, 1), 0);
    EXPECT_EQ(orbek_json_getobjectvalue(o, "a", -1), nullptr);
    EXPECT_EQ(encode(o), "{\"a\":2,\"\":2}");
}

TEST(JsonModel, ArraysHoldIndependentCopies) {
    Json a(orbek_json_newarray());
    EXPECT_EQ(orbek_json_getarraysize(a), 0);
    orbek_json *inner = orbek_json_newobject();
    ASSERT_EQ(orbek_json_addobjectitem(inner, "k", 1, Json(num(1))), 1);
    ASSERT_EQ(orbek_json_addarrayitem(a, inner), 1);
    ASSERT_EQ(orbek_json_addarrayitem(a, inner), 1);
    orbek_json_free(inner);  // the array's copies stay intact
    EXPECT_EQ(orbek_json_getarraysize(a), 2);
    EXPECT_EQ(encode(a), "[{\"k\":1},{\"k\":1}]");
    EXPECT_NE(orbek_json_getarrayitem(a, 0), orbek_json_getarrayitem(a, 1));
    EXPECT_EQ(orbek_json_getarrayitem(a, 2), nullptr);
    EXPECT_EQ(orbek_json_getarrayitem(a, -1), nullptr);
    EXPECT_EQ(orbek_json_addarrayitem(a, nullptr), 0);

    Json o(orbek_json_newobject());
    EXPECT_EQ(orbek_json_getarraysize(o), -1);
    EXPECT_EQ(orbek_json_getarrayitem(o, 0), nullptr);
    EXPECT_EQ(orbek_json_addarrayitem(o, a), 0);
    EXPECT_EQ(orbek_json_deletearrayitem(o, 0), 0);

    ASSERT_EQ(orbek_json_addarrayitem(a, Json(num(3))), 1);
    EXPECT_EQ(orbek_json_deletearrayitem(a, 3), 0);
    ASSERT_EQ(orbek_json_deletearrayitem(a, 0), 1);
    EXPECT_EQ(encode(a), "[{\"k\":1},3]");
}

TEST(JsonModel, DupIsDeepAndIndependent) {
    Json src(decode("{\"a\":[1,{\"b\":\"x\\u0000y\"}],\"c\":null,\"d\":true,\"e\":\"\"}"));
    ASSERT_NE(src.v, nullptr);
    Json copy(orbek_json_dup(src));
    ASSERT_NE(copy.v, nullptr);
    std::string before = encode(src);
    EXPECT_EQ(encode(copy), before);
    orbek_json *arr = orbek_json_getobjectvalue(copy, "a", 1);
    ASSERT_EQ(orbek_json_deletearrayitem(arr, 0), 1);
    ASSERT_EQ(orbek_json_updateobjectitem(orbek_json_getarrayitem(arr, 0), "b", 1, Json(num(5))), 1);
    EXPECT_EQ(encode(src), before);
    EXPECT_EQ(encode(copy), "{\"a\":[{\"b\":5}],\"c\":null,\"d\":true,\"e\":\"\"}");
    EXPECT_EQ(orbek_json_dup(nullptr), nullptr);
}

namespace {
struct Visit {
    std::vector<std::string> keys;
    int stop_after = -1;
};
int32_t visit(void *arg, const char *key, int32_t len, orbek_json *value) {
    Visit *v = static_cast<Visit *>(arg);
    EXPECT_NE(value, nullptr);
    v->keys.emplace_back(key, (size_t)len);
    return (int)v->keys.size() == v->stop_after ? 0 : 1;
}
}  // namespace

TEST(JsonModel, TraverseVisitsMembersInOrderAndStops) {
    Json o(decode("{\"x\":1,\"\":{\"deep\":2},\"x\":3}"));
    Visit all;
    EXPECT_EQ(orbek_json_traverse(o, visit, &all), 1);
    EXPECT_EQ(all.keys, (std::vector<std::string>{"x", "", "x"}));
    Visit first;
    first.stop_after = 1;
    EXPECT_EQ(orbek_json_traverse(o, visit, &first), 0);
    EXPECT_EQ(first.keys.size(), 1u);

    Json empty(orbek_json_newobject()), arr(orbek_json_newarray());
    Visit none;
    EXPECT_EQ(orbek_json_traverse(empty, visit, &none), 1);
    EXPECT_EQ(orbek_json_traverse(arr, visit, &none), 0);
    EXPECT_EQ(orbek_json_traverse(o, nullptr, &none), 0);
    EXPECT_TRUE(none.keys.empty());
}

// ---------------------------------------------------------------- encoder

TEST(JsonEncode, EscapesEveryControlByteAndNothingElse) {
    Json s(orbek_json_newstring("a\tb\"", 4));
    EXPECT_EQ(encode(s), "\"a\\u0009b\\\"\"");
    std::string all;
    for (int c = 1; c < 0x20; ++c) all += (char)c;
    all += "/\\\x7F\xC3\xA9";
    Json t(orbek_json_newstring(all.data(), (int32_t)all.size()));
    std::string want = "\"";
    char esc[8];
    for (int c = 1; c < 0x20; ++c) {
        snprintf(esc, sizeof esc, "\\u00%02X", c);
        want += esc;
    }
    want += "/\\\\\x7F\xC3\xA9\"";
    EXPECT_EQ(encode(t), want);
    EXPECT_EQ(encode(Json(orbek_json_newstring("\0", 1))), "\"\\u0000\"");
}

TEST(JsonEncode, NumberTexts) {
    const struct {
        double x;
        const char *text;
    } cases[] = {
        {42, "42"}, {-7, "-7"}, {0, "0"}, {-0.0, "0"}, {2.5, "2.5"}, {0.1, "0.1"},
        {1.23456789, "1.234568"}, {3e9, "3000000000"}, {-1e-9, "-0"}, {1e-7, "0"},
        {2147483647.0, "2147483647"}, {2147483648.0, "2147483648"}, {-2147483648.0, "-2147483648"},
        {-2147483649.0, "-2147483649"}, {100.5, "100.5"}, {1e20, "100000000000000000000"},
    };
    for (const auto &c : cases) EXPECT_EQ(encode(Json(num(c.x))), c.text) << c.x;
    // The longest fixed-notation text is written whole.
    std::string big = encode(Json(num(-1.7976931348623157e308)));
    EXPECT_EQ(big.size(), 310u);
    EXPECT_EQ(big.substr(0, 6), "-17976");
}

TEST(JsonEncode, PrettyLayouts) {
    Json o(decode("{\"a\":[1,2]}"));
    EXPECT_EQ(encode(o, 0x90000000u), "{\n\t\"a\":[1,2]\n}");
    Json a(decode("[1,2]"));
    EXPECT_EQ(encode(a, 0x90000000u), "[\n\t1,\n\t2\n]");
    EXPECT_EQ(encode(a, 0xC0000002u), "[  \t1,  \t2]") << "no line ends without bits 28/29";
    EXPECT_EQ(encode(a, 0xF0000002u), "[\r\n  \t1,\r\n  \t2\r\n]");
    EXPECT_EQ(encode(a, 0xE0000000u), "[\r\t1,\r\t2\r]") << "bit 30 with N = 0 is one TAB";
    EXPECT_EQ(encode(a, 0x700000FFu), "[1,2]") << "layout bits need bit 31";
    Json nested(decode("[[],{},[3]]"));
    EXPECT_EQ(encode(nested, 0x90000000u), "[\n\t[\n\t],\n\t{\n\t},\n\t[\n\t\t3\n\t]\n]");
    EXPECT_EQ(encode(Json(orbek_json_newobject()), 0x90000000u), "{\n}");
    EXPECT_EQ(encode(nested), "[[],{},[3]]");
    Json deep(decode("{\"k\":{\"a\":[1,{\"b\":2}]},\"z\":\"s\"}"));
    EXPECT_EQ(encode(deep, 0xD0000001u), "{\n \t\"k\":{\"a\":[1,{\"b\":2}]},\n \t\"z\":\"s\"\n}");
}

TEST(JsonEncode, SortsOnlyTheTopLevelInValueOrder) {
    Json o(decode("{\"b\":1,\"a\":2}"));
    EXPECT_EQ(encode(o, ORBEK_JSON_SORT), "{\"a\":2,\"b\":1}");
    EXPECT_EQ(encode(o), "{\"a\":2,\"b\":1}") << "the caller's object stays sorted";

    // Kinds first, then per-kind order; nested containers keep their order.
    Json a(decode("[[2,1],{\"b\":0},null,true,false,3,-1,\"b\",\"ab\",\"a\",\"\xC3\xA9\",[0],{},{\"a\":0}]"));
    EXPECT_EQ(encode(a, ORBEK_JSON_SORT),
              "[\"a\",\"ab\",\"b\",\"\xC3\xA9\",-1,3,false,true,null,{},{\"a\":0},{\"b\":0},[0],[2,1]]");
    // Equal keys order by value; shorter containers first.
    Json dup(decode("{\"k\":[1,2],\"k\":[3],\"k\":[1,1],\"j\":{}}"));
    EXPECT_EQ(encode(dup, ORBEK_JSON_SORT), "{\"j\":{},\"k\":[3],\"k\":[1,1],\"k\":[1,2]}");
    // Scalars at the top level are left alone.
    EXPECT_EQ(encode(Json(num(5)), ORBEK_JSON_SORT | ORBEK_JSON_PRETTY), "5");
}

TEST(JsonEncode, RefusesBadArgumentsWithoutTouchingOutputs) {
    Json v(num(1));
    char *text = reinterpret_cast<char *>(1);
    int32_t len = 77;
    EXPECT_EQ(orbek_json_encode(nullptr, 0, &text, &len), 0);
    EXPECT_EQ(orbek_json_encode(v, 0, nullptr, &len), 0);
    EXPECT_EQ(orbek_json_encode(v, 0, &text, nullptr), 0);
    EXPECT_EQ(text, reinterpret_cast<char *>(1));
    EXPECT_EQ(len, 77);
}

// ---------------------------------------------------------------- decoder

TEST(JsonDecode, ExactLengthAndTopLevelWhitespace) {
    EXPECT_TRUE(decodes("[1,2]"));
    EXPECT_TRUE(decodes("[1,2] "));
    EXPECT_TRUE(decodes(" \t\r\n[1] \n"));
    EXPECT_TRUE(decodes(" {}"));
    EXPECT_FALSE(decodes("12 "));
    EXPECT_FALSE(decodes(" 1"));
    EXPECT_FALSE(decodes(" \"s\""));
    EXPECT_FALSE(decodes("true "));
    EXPECT_FALSE(decodes(""));
    EXPECT_FALSE(decodes("   "));
    EXPECT_FALSE(decodes("[1]x"));
    EXPECT_FALSE(decodes("[1] [2]"));
    EXPECT_FALSE(decodes("[1]\f")) << "form feed is not whitespace";
    EXPECT_EQ(orbek_json_decode(nullptr, 0), nullptr);
    EXPECT_EQ(orbek_json_decode("[1]", -3), nullptr);
    // Only length bytes are read: no NUL is needed, and bytes past it are ignored.
    const char text[] = {'[', '7', ']', ']'};
    Json v(orbek_json_decode(text, 3));
    EXPECT_EQ(encode(v), "[7]");
}

TEST(JsonDecode, StrictGrammar) {
    const char *bad[] = {"[1,]", "{\"a\":1,}", "[,1]", "{,}", "[1 2]", "{\"a\" 1}", "{\"a\":}", "{a:1}",
                         "{1:1}", "[", "[1", "[1,", "{", "{\"a\"", "{\"a\":1", "nul", "nullx", "[nullx]",
                         "tru", "[True]", "+1", ".5", "1.", "1e", "1e+", "-", "-a", "01", "[01]", "[1.e3]",
                         "[0x10]", "[-]", "{\"a\":1 \"b\":2}", "[]]", "[1]]", "\"abc", "\"a\\\"", "[\"\\\"]"};
    for (const char *b : bad) EXPECT_FALSE(decodes(b)) << b;
    EXPECT_EQ(reencode("[null,true,false,0,-0,1E+2,2.5e-1,10e1,123456789]"), "[null,true,false,0,0,100,0.25,100,123456789]");
    EXPECT_EQ(reencode("{ \"a\" : [ 1 , { } ] , \"b\" :\"c\" }"), "{\"a\":[1,{}],\"b\":\"c\"}");
    EXPECT_EQ(reencode("\"x\""), "\"x\"");
    EXPECT_EQ(reencode("-12"), "-12");

    Json neg(decode("-0"));
    ASSERT_NE(neg.v, nullptr);
    EXPECT_EQ(orbek_json_getnumber(neg), 0.0);
    EXPECT_TRUE(signbit(orbek_json_getnumber(neg)));
    Json inf(decode("1e400"));
    ASSERT_NE(inf.v, nullptr);
    EXPECT_TRUE(isinf(orbek_json_getnumber(inf)));
}

TEST(JsonDecode, NumbersMatchTheDecimalConversion) {
    const char *texts[] = {"0.1", "0.3", "1.5", "-2.75", "123.456", "9007199254740993", "0.000001",
                           "1234567890.123456", "3.14159265358979", "1e22", "1e23", "2.2250738585072014e-308",
                           "4.9e-324", "0.1e1", "17976931348623157e292", "0.0000000000000000000001",
                           "123456789012345678901234567890", "-1.7976931348623157E+308", "1E+2", "2.5e-3",
                           "123456789012345e7", "1.5e22", "9e-22", "1e-23", "0.000001e-17", "-0e-5", "12e0"};
    for (const char *t : texts) {
        Json v(decode(t));
        ASSERT_NE(v.v, nullptr) << t;
        EXPECT_EQ(orbek_json_getnumber(v), strtod(t, nullptr)) << t;
    }
}

TEST(JsonDecode, StringsEscapesAndUtf8) {
    Json pair(decode("\"\\uD83D\\uDE00\""));
    ASSERT_NE(pair.v, nullptr);
    EXPECT_EQ(str(pair), "\xF0\x9F\x98\x80");
    Json e1(decode("\"\\u00e9\\u00E9\\u20AC\\u0000\"")), e2(decode("\"\\\"\\\\\\/\\b\\f\\n\\r\\t\""));
    EXPECT_EQ(str(e1), std::string("\xC3\xA9\xC3\xA9\xE2\x82\xAC\0", 8));
    EXPECT_EQ(str(e2), "\"\\/\b\f\n\r\t");
    Json raw(decode("\"\xC3\xA9\xF0\x9F\x98\x80/\x7F\""));
    EXPECT_EQ(str(raw), "\xC3\xA9\xF0\x9F\x98\x80/\x7F");

    const char *bad[] = {"\"\\uDE00\"", "\"\\uD83Dx\"", "\"\\uD83D\\u0041\"", "\"\\uD83D\\uD83D\"", "\"\\uD83D\"",
                         "\"\\uD83D\\uDE0\"", "\"\\u12\"", "\"\\u12G4\"", "\"\\x41\"", "\"\\U00e9\"", "\"a\tb\"",
                         "\"\n\"", "\"\xC0\x80\"", "\"\xED\xA0\x80\"", "\"\xC3\"", "\"\x80\"", "\"\xF4\x90\x80\x80\"",
                         "[\"\\"};
    for (const char *b : bad) EXPECT_FALSE(decodes(b)) << b;
    EXPECT_TRUE(decodes(std::string("\"\x7F\"")));
    EXPECT_FALSE(decodes(std::string("\"\0\"", 3)));
}

TEST(JsonDecode, RepeatedKeysAreKept) {
    Json o(decode("{\"a\":1,\"a\":2}"));
    ASSERT_NE(o.v, nullptr);
    EXPECT_EQ(orbek_json_getnumber(orbek_json_getobjectvalue(o, "a", 1)), 2);
    EXPECT_EQ(encode(o), "{\"a\":1,\"a\":2}");
    Json k(decode("{\"\\u00e9\":1,\"\":2}"));
    EXPECT_EQ(orbek_json_getnumber(orbek_json_getobjectvalue(k, "\xC3\xA9", 2)), 1);
    EXPECT_FALSE(decodes("{\"\xC0\x80\":1}"));
}

TEST(JsonDecode, NestingLimitFromTheRecursionLevel) {
    const int limit = orbek_get_recursive_level();
    ASSERT_GE(limit, 8);
    auto nested = [](int n, const char *open, const char *close, const char *inner) {
        std::string s;
        for (int i = 0; i < n; ++i) s += open;
        s += inner;
        for (int i = 0; i < n; ++i) s += close;
        return s;
    };
    EXPECT_TRUE(decodes(nested(limit, "[", "]", "")));
    EXPECT_FALSE(decodes(nested(limit + 1, "[", "]", "")));
    // A scalar inside the deepest allowed array would sit at the limit.
    EXPECT_TRUE(decodes(nested(limit - 1, "[", "]", "1")));
    EXPECT_FALSE(decodes(nested(limit, "[", "]", "1")));
    EXPECT_TRUE(decodes(nested(limit - 1, "{\"k\":", "}", "{}")));
    EXPECT_FALSE(decodes(nested(limit, "{\"k\":", "}", "{}")));
    Json deep(decode(nested(limit, "[", "]", "")));
    EXPECT_EQ(reencode(encode(deep)), encode(deep));
}

// ---------------------------------------------------------------- failure sweeps

TEST(JsonSweep, Decode) {
    const std::string doc =
        "{\"name\":\"caf\\u00e9 \\uD83D\\uDE00\",\"list\":[1,2.5,-3e2,true,false,null,\"\xC3\xA9\"],"
        "\"nested\":{\"a\":{\"b\":[[],{},[{\"c\":\"d\"}]]}},\"dup\":1,\"dup\":2,"
        "\"k1\":1,\"k2\":2,\"k3\":3,\"k4\":4,\"k5\":5,\"k6\":6,\"k7\":7,\"k8\":8,\"k9\":9,\"k10\":10,"
        "\"k11\":11,\"k12\":12,\"k13\":13,\"k14\":14,\"k15\":15,\"k16\":16,\"k17\":17}";
    const std::string want = reencode(doc);
    ASSERT_NE(want, "<invalid>");
    long n = testalloc::sweep([&] {
        orbek_json *v = decode(doc);
        if (!v) return false;
        char *text = nullptr;
        int32_t len = 0;
        // Only the decoding is swept: a success that swallowed a failure is
        // left for the sweep to see, otherwise the rest runs unhindered.
        if (testalloc::failure_hit()) {
            orbek_json_free(v);
            return true;
        }
        testalloc::fail_nth(0);
        bool same = orbek_json_encode(v, 0, &text, &len) == 1 && want == std::string(text, (size_t)len);
        orbek_free(text);
        orbek_json_free(v);
        return same;
    });
    EXPECT_GT(n, 40);
}

TEST(JsonSweep, DeepTreesPastTheWalksInlinePath) {
    // 40 levels of arrays and objects: deeper than the walks keep without
    // allocating, so their path must grow (and may fail to).
    std::string doc;
    for (int i = 0; i < 40; ++i) doc += i % 2 ? "{\"k\":" : "[0,";
    doc += "null";
    for (int i = 39; i >= 0; --i) doc += i % 2 ? "}" : "]";
    Json a(decode("[" + doc + "," + doc + ",[]]")), b(decode("[" + doc + "," + doc + ",[]]"));
    ASSERT_NE(a.v, nullptr);
    encode(b, ORBEK_JSON_SORT);
    const std::string pretty = encode(b, 0xD0000000u);
    EXPECT_EQ(pretty.substr(0, 8), "[\n\t[\n\t],") << "the shorter item sorts first";
    testalloc::sweep([&] {
        char *text = nullptr;
        int32_t len = 0;
        if (orbek_json_encode(a, 0xD0100000u, &text, &len) != 1) return false;
        bool same = pretty == std::string(text, (size_t)len);
        orbek_free(text);
        return same;
    });
    testalloc::sweep([&] {
        orbek_json *copy = orbek_json_dup(a);
        if (!copy) return false;
        bool same = encode(copy) == encode(a);
        orbek_json_free(copy);
        return same;
    });
}

TEST(JsonSweep, EncodePrettySortedAndDup) {
    Json src(decode("{\"z\":[1,{\"y\":\"\\u0001\"}],\"a\":\"long string value with some length to it\","
                    "\"m\":{\"n\":null},\"b\":2.125}"));
    ASSERT_NE(src.v, nullptr);
    const std::string want = encode(src, 0xF0100004u);
    testalloc::sweep([&] {
        char *text = nullptr;
        int32_t len = 0;
        if (orbek_json_encode(src, 0xF0100004u, &text, &len) != 1) return false;
        bool same = want == std::string(text, (size_t)len);
        orbek_free(text);
        return same;
    });
    testalloc::sweep([&] {
        orbek_json *copy = orbek_json_dup(src);
        if (!copy) return false;
        bool same = encode(copy) == encode(src);
        orbek_json_free(copy);
        return same;
    });
    // Editing under allocation failure leaves the container unchanged.
    const std::string before = encode(src);
    Json other(decode("[1,[2,[3]]]"));
    Json m0(orbek_json_dup(orbek_json_getobjectvalue(src, "m", 1)));
    testalloc::sweep([&] {
        bool ok = orbek_json_updateobjectitem(src, "m", 1, other) == 1;
        if (!ok) {
            EXPECT_EQ(encode(src), before);
        } else if (!testalloc::failure_hit()) {
            testalloc::fail_nth(0);
            EXPECT_EQ(orbek_json_updateobjectitem(src, "m", 1, m0), 1);  // back as it was
        }
        return ok;
    });
    testalloc::sweep([&] {
        bool ok = orbek_json_addobjectitem(src, "\xC3\xA9", 2, other) == 1;
        if (!ok) {
            EXPECT_EQ(encode(src), before);
        } else if (!testalloc::failure_hit()) {
            testalloc::fail_nth(0);
            EXPECT_EQ(orbek_json_deleteobjectitem(src, "\xC3\xA9", 2), 1);  // back as it was
        }
        return ok;
    });
}
