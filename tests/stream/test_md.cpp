// Digest and HMAC filters: published vectors through chains, the table
// checks, snapshots, failures of the caller's hash and of allocation.
#include "cli/md_tables.h"
#include "cli/sha.h"
#include "stream_test.h"

using namespace st;

namespace {

std::string hex(const std::string &bytes) {
    static const char d[] = "0123456789abcdef";
    std::string s;
    for (unsigned char c : bytes) s += {d[c >> 4], d[c & 15]};
    return s;
}

// The tables under test: the portable ones everywhere, OpenSSL's too where
// the build has it.  Named for messages.
struct Table {
    const char *name;
    int bits;
    const orbek_md_table *t;
};
std::vector<Table> tables() {
    std::vector<Table> v;
    for (int bits : {1, 256, 512}) {
        v.push_back({"portable", bits, cli_portable_sha(bits)});
        if (cli_openssl_sha(bits)) v.push_back({"openssl", bits, cli_openssl_sha(bits)});
    }
    return v;
}

// Finishes the filter at the head of a chain with control 4 or 12.
std::string finish(orbek_stream *f, int32_t code = ORBEK_CTRL_MD_FINISH, orbek_err_ctx *ctx = nullptr) {
    uint8_t out[64];
    int32_t len = 0;
    if (orbek_stream_ctrl(f, ORBEK_CTRL_MD_LENGTH, &len, ctx) != 1 || orbek_stream_ctrl(f, code, out, ctx) != 1)
        return "<fail>";
    return hex(str(out, len));
}

// data through a digest (or, with a key, HMAC) filter over a null stream.
std::string mac(const orbek_md_table *t, const std::string &data, const std::string *key = nullptr) {
    Chain c(stack(key ? orbek_stream_new_hmac(t, u8(*key), (int32_t)key->size(), nullptr) : orbek_stream_new_md(t, nullptr),
                  orbek_stream_new_null(nullptr)));
    if (!data.empty()) put(c, data);
    return finish(c, key ? ORBEK_CTRL_HMAC_FINISH : ORBEK_CTRL_MD_FINISH);
}

// A table over the portable SHA-256 whose slots can be made to fail.
struct Faulty {
    static inline bool update_fails = false, finish_fails = false, context_fails = false;
    static void *make() { return context_fails ? nullptr : cli_portable_sha(256)->new_context(); }
    static int32_t update(void *c, const uint8_t *p, int32_t n) {
        return update_fails ? 0 : cli_portable_sha(256)->update(c, p, n);
    }
    static int32_t finish(void *c, uint8_t *out) { return finish_fails ? 0 : cli_portable_sha(256)->finish(c, out); }
    static orbek_md_table table() {
        orbek_md_table t = *cli_portable_sha(256);
        t.new_context = make;
        t.update = update;
        t.finish = finish;
        return t;
    }
};

}  // namespace

TEST(DigestStream, PublishedVectorsThroughEveryTable) {
    const std::string m448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", million(1000000, 'a');
    const std::string m896 = "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
    struct { int bits; const std::string *data; const char *digest; } fips[] = {
        {1, nullptr, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {1, &m448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {1, &million, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        {256, nullptr, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {256, &m448, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {256, &million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {512, nullptr, "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
                       "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {512, &m896, "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018"
                     "501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
        {512, &million, "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
                        "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
    };
    const std::string k20(20, '\x0b'), jefe = "Jefe", aa20(20, '\xaa'), dd50(50, '\xdd'), cd50(50, '\xcd');
    const std::string k25 = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19";
    const std::string aa80(80, '\xaa'), aa131(131, '\xaa'), c20(20, '\x0c');
    const std::string big_key = "Test Using Larger Than Block-Size Key - Hash Key First";
    const std::string big_both = "This is a test using a larger than block-size key and a larger than block-size data. The key "
                                 "needs to be hashed before being used by the HMAC algorithm.";
    struct { int bits; const std::string &key, data; const char *mac; } hmacs[] = {
        // RFC 2202
        {1, k20, "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {1, jefe, "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {1, aa20, dd50, "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {1, k25, cd50, "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {1, c20, "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {1, aa80, big_key, "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {1, aa80, "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
        // RFC 4231
        {256, k20, "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {256, jefe, "what do ya want for nothing?", "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {256, aa20, dd50, "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        {256, k25, cd50, "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
        {256, aa131, big_key, "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {256, aa131, big_both, "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
        {512, k20, "Hi There", "87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cde"
                                "daa833b7d6b8a702038b274eaea3f4e4be9d914eeb61f1702e696c203a126854"},
        {512, jefe, "what do ya want for nothing?", "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
                                                    "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
        {512, aa20, dd50, "fa73b0089d56a284efb0f0756c890be9b1b5dbdd8ee81a3655f83e33b2279d39"
                          "bf3e848279a722c806b485a47e67c807b946a337bee8942674278859e13292fb"},
        {512, k25, cd50, "b0ba465637458c6990e5a8c5f61d4af7e576d97ff94b872de76f8050361ee3db"
                         "a91ca5c11aa25eb4d679275cc5788063a5f19741120c4f2de2adebeb10a298dd"},
        {512, aa131, big_key, "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f352"
                              "6b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598"},
        {512, aa131, big_both, "e37b6a775dc87dbaa4dfa9f96e5e3ffddebd71f8867289865df5a32d20cdc944"
                               "b6022cac3c4982b10d5eeb55c3e4de15134676fb6de0446065c97440fa8c6a58"},
    };
    for (const Table &t : tables()) {
        SCOPED_TRACE(std::string(t.name) + " SHA-" + std::to_string(t.bits));
        for (auto &f : fips)
            if (f.bits == t.bits) {
                EXPECT_EQ(mac(t.t, f.data ? *f.data : "abc"), f.digest);
            }
        for (auto &h : hmacs)
            if (h.bits == t.bits) {
                EXPECT_EQ(mac(t.t, h.data, &h.key), h.mac) << hex(h.key);
            }
    }
    // The portable code against OpenSSL over every length around the block
    // and length-field boundaries.
    std::string data = bytes(300, 7);
    for (int bits : {1, 256, 512}) {
        if (!cli_openssl_sha(bits)) continue;
        for (size_t n = 0; n <= data.size(); ++n)
            ASSERT_EQ(mac(cli_portable_sha(bits), data.substr(0, n)), mac(cli_openssl_sha(bits), data.substr(0, n)))
                << bits << " " << n;
    }
}

TEST(DigestStream, ChainsOverFilesMemoryAndNull) {
    const orbek_md_table *sha256 = cli_sha(256);
    const std::string data = bytes(70000, 3);
    Ctx ctx;
    // Digest over a file: the file gets the bytes, the digest covers them;
    // then the file copied back through a digest chain gives the same.
    std::string path = testing::TempDir() + "orbek_md_file.bin";
    {
        Chain w(stack(orbek_stream_new_md(sha256, ctx), orbek_stream_new_file(path.c_str(), ORBEK_FILE_WRITE, ctx)));
        put(w, data, ctx);
        EXPECT_EQ(finish(w), mac(sha256, data));
    }
    Chain r(orbek_stream_new_file(path.c_str(), ORBEK_FILE_READ, ctx));
    Chain d(stack(orbek_stream_new_md(sha256, ctx), orbek_stream_new_null(ctx)));
    int32_t total = 0;
    ASSERT_EQ(orbek_stream_writefromstream(d, r, &total, ctx), 1);
    EXPECT_EQ(total, 70000);
    EXPECT_EQ(finish(d), mac(sha256, data));
    EXPECT_EQ(ctx.code(), ORBEK_ERR_STREAM_READ_FILE) << "how the file said it had ended";
    ctx.clear();
    remove(path.c_str());

    // Base64 over digest over memory: the digest sees the Base64 text.
    orbek_stream *m = orbek_stream_new_mem(0, ctx);
    Chain b(stack(orbek_stream_new_base64(ORBEK_B64_LF, 64, ORBEK_B64_SKIP_BREAKS, ctx), stack(orbek_stream_new_md(sha256, ctx), m)));
    put(b, data);
    ASSERT_EQ(orbek_stream_ctrl(b, ORBEK_CTRL_FLUSH, nullptr, ctx), 1);
    EXPECT_EQ(finish(b.s->next), mac(sha256, content(m)));

    // Hex over HMAC over null: the MAC of the digits; reads are not hashed.
    const std::string key = "key";
    Chain h(stack(orbek_stream_new_hex(0, ctx), stack(orbek_stream_new_hmac(sha256, u8(key), 3, ctx), orbek_stream_new_null(ctx))));
    put(h, "\x01\xab");
    EXPECT_EQ(finish(h.s->next, ORBEK_CTRL_HMAC_FINISH), mac(sha256, "01ab", &key));
    Chain rd(stack(orbek_stream_new_md(sha256, ctx), romem("abc")));
    uint8_t buf[8];
    ASSERT_EQ(orbek_stream_readn(rd, buf, 3, ctx), 1);
    EXPECT_EQ(finish(rd), mac(sha256, ""));
    EXPECT_EQ(ctx.records(), 0) << ctx.desc();
}

TEST(DigestStream, TablesControlsSnapshotsAndRefusals) {
    Ctx ctx;
    const orbek_md_table *sha256 = cli_portable_sha(256);
    EXPECT_EQ(ctx.fails(orbek_stream_new_md(nullptr, ctx) != nullptr), ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_MD");
    for (int slot = 0; slot < 8; ++slot) {
        orbek_md_table t = *sha256;
        reinterpret_cast<void **>(&t)[slot] = nullptr;
        EXPECT_EQ(ctx.fails(orbek_stream_new_md(&t, ctx) != nullptr), ORBEK_ERR_STREAM_MD_FUNCTION) << slot;
        EXPECT_EQ(ctx.fails(orbek_stream_new_hmac(&t, u8("k"), 1, ctx) != nullptr), ORBEK_ERR_STREAM_MD_FUNCTION) << slot;
    }
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_HMAC");
    EXPECT_EQ(ctx.fails(orbek_stream_new_hmac(sha256, nullptr, 1, ctx) != nullptr), ORBEK_ERR_NULL_POINT);
    EXPECT_EQ(ctx.fails(orbek_stream_new_hmac(sha256, u8("k"), 0, ctx) != nullptr), ORBEK_ERR_BAD_LENGTH);

    // Without slot 8 everything but the snapshot works.
    orbek_md_table no_dup = *sha256;
    no_dup.dup_context = nullptr;
    Chain plain(stack(orbek_stream_new_md(&no_dup, ctx), orbek_stream_new_null(ctx)));
    EXPECT_EQ(orbek_stream_md_dup(plain), nullptr);
    EXPECT_EQ(finish(plain), mac(sha256, ""));

    // Unchained: every code is "no source/sink stream".
    Chain lone(orbek_stream_new_md(sha256, ctx)), lone_mac(orbek_stream_new_hmac(sha256, u8("k"), 1, ctx));
    int32_t v = 0;
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(lone, ORBEK_CTRL_MD_LENGTH, &v, ctx)), ORBEK_ERR_STREAM_NO_SOURCE_SINK);
    EXPECT_EQ(ctx.fails(orbek_stream_writen(lone_mac, u8("x"), 1, ctx)), ORBEK_ERR_STREAM_NO_SOURCE_SINK);

    // Snapshot of a prefix while hashing goes on.
    Chain d(stack(orbek_stream_new_md(sha256, ctx), orbek_stream_new_null(ctx)));
    put(d, "abc");
    Chain snap(orbek_stream_md_dup(d));
    ASSERT_TRUE(snap.s);
    EXPECT_TRUE(snap.s->next == nullptr && snap.s->previous == nullptr);
    put(d, "def");
    EXPECT_EQ(finish(d), mac(sha256, "abcdef"));
    ASSERT_EQ(orbek_stream_push(snap, orbek_stream_new_null(ctx)), 1);
    EXPECT_EQ(finish(snap), mac(sha256, "abc"));
    EXPECT_EQ(orbek_stream_md_dup(lone_mac), nullptr) << "HMAC streams have no snapshot";
    EXPECT_EQ(orbek_stream_md_dup(Chain(romem("x"))), nullptr);

    // Controls: 3 and 5 answered, 12 and the rest forwarded to the sink.
    uint32_t alg = 0;
    EXPECT_EQ(orbek_stream_ctrl(d, ORBEK_CTRL_MD_ALGORITHM, &alg, ctx), 1);
    EXPECT_EQ(alg, 256u);
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(d, ORBEK_CTRL_HMAC_FINISH, &v, ctx)), ORBEK_ERR_STREAM_BAD_CTRL);
    EXPECT_EQ(ctx.file(), "ORBEK_Stream_Null");
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(d, ORBEK_CTRL_MD_FINISH, nullptr, ctx)), ORBEK_ERR_NULL_POINT);

    // HMAC keys of exactly a block are used as they are; one byte more and
    // the key's digest stands in for it.
    const std::string block(64, 'K'), longer(65, 'K');
    std::string k0 = mac(sha256, longer);
    std::string digest_key;
    for (size_t i = 0; i < k0.size(); i += 2) digest_key += (char)std::stoi(k0.substr(i, 2), nullptr, 16);
    EXPECT_EQ(mac(sha256, "msg", &longer), mac(sha256, "msg", &digest_key));
    EXPECT_NE(mac(sha256, "msg", &block), mac(sha256, "msg", &longer));
    EXPECT_EQ(mac(sha256, "msg", &block), mac(cli_sha(256), "msg", &block));
}

TEST(DigestStream, FailuresOfTheCallersHash) {
    Ctx ctx;
    orbek_md_table t = Faulty::table();
    Faulty::context_fails = true;
    EXPECT_EQ(ctx.fails(orbek_stream_new_md(&t, ctx) != nullptr), ORBEK_ERR_OUT_OF_MEMORY);
    EXPECT_EQ(ctx.fails(orbek_stream_new_hmac(&t, u8("k"), 1, ctx) != nullptr), ORBEK_ERR_OUT_OF_MEMORY);
    Faulty::context_fails = false;
    Faulty::update_fails = true;
    EXPECT_EQ(ctx.fails(orbek_stream_new_hmac(&t, u8("k"), 1, ctx) != nullptr), ORBEK_ERR_STREAM_MD_UPDATE);
    orbek_stream *m = orbek_stream_new_mem(0, ctx);
    Chain d(stack(orbek_stream_new_md(&t, ctx), m));
    EXPECT_EQ(ctx.fails(orbek_stream_writen(d, u8("abc"), 3, ctx)), ORBEK_ERR_STREAM_MD_UPDATE);
    EXPECT_EQ(content(m), "abc") << "the bytes reached the next stream before the update";
    Faulty::update_fails = false;
    Chain h(stack(orbek_stream_new_hmac(&t, u8("k"), 1, ctx), orbek_stream_new_null(ctx)));
    Faulty::finish_fails = true;
    uint8_t out[32];
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(d, ORBEK_CTRL_MD_FINISH, out, ctx)), ORBEK_ERR_STREAM_MD_FINISH);
    EXPECT_EQ(ctx.fails(orbek_stream_ctrl(h, ORBEK_CTRL_HMAC_FINISH, out, ctx)), ORBEK_ERR_STREAM_MD_FINISH);
    Faulty::finish_fails = false;
    // A failing write below is handed back as it is.
    Chain ro(stack(orbek_stream_new_md(&t, ctx), romem("x")));
    EXPECT_EQ(ctx.fails(orbek_stream_writen(ro, u8("a"), 1, ctx)), ORBEK_ERR_STREAM_READONLY);
}

TEST(DigestStream, AllocationFailures) {
    Ctx ctx;
    const orbek_md_table *t = cli_portable_sha(256);
    const std::string long_key(100, 'k'), want = mac(t, "data", &long_key);
    testalloc::sweep([&] {
        orbek_stream *s = orbek_stream_new_md(t, ctx);
        orbek_stream_free(s);
        return s != nullptr;
    });
    // HMAC with a long key (a temporary digest at creation), written and
    // finished (another one for the outer hash).
    testalloc::sweep([&] {
        orbek_stream *n = orbek_stream_new_null(ctx);
        orbek_stream *h = n ? orbek_stream_new_hmac(t, u8(long_key), 100, ctx) : nullptr;
        if (!h) {
            orbek_stream_free(n);
            return false;
        }
        orbek_stream_push(h, n);
        bool ok = orbek_stream_writen(h, u8("data"), 4, ctx) == 1 && finish(h, ORBEK_CTRL_HMAC_FINISH, ctx) == want;
        orbek_stream_freeall(h);
        return ok;
    });
    Chain d(stack(orbek_stream_new_md(t, ctx), orbek_stream_new_null(ctx)));
    put(d, "abc");
    testalloc::sweep([&] {
        orbek_stream *s = orbek_stream_md_dup(d);
        orbek_stream_free(s);
        return s != nullptr;
    });
}
