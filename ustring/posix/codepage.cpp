// Code pages through the C library's iconv.
//
// Each Windows code-page number that has a converter here names the iconv
// converter that holds the same table.  glibc's iconv is chosen over ICU's
// converters because, for the pages that matter, it carries Microsoft's own
// tables under their Windows names: CP1250 to CP1258 and WINDOWS-874 with the
// euro and the quotation marks in 0x80-0x9F, CP932 (Shift_JIS with the NEC
// and IBM rows, 0x5C a backslash), CP936 (GBK with the euro at 0x80), CP949
// (Unified Hangul Code), CP950 (Big5 with Microsoft's additions) and
// GB18030, plus the DOS, EBCDIC, Mac, KOI8 and ISO pages and the stateful
// ISO-2022 and UTF-7 forms; the test vectors, made with Python's codecs,
// pass through it and, under Wine, through the Windows calls alike.  It also needs nothing beyond the C library in both the
// 64-bit and the -m32 builds, where ICU's 32-bit development files cannot be
// installed beside the 64-bit ones.
//
// What Windows does with flags 0 is kept for text that is valid in the
// page: a character the page lacks encodes as the page's default character,
// which is what the page makes of "?" (0x3F, or 0x6F in EBCDIC), one per
// UTF-16 unit; a result that does not fit the caller's capacity fails.  A
// byte sequence the page does not define decodes to U+FFFD and decoding
// goes on with the next byte, as Windows does for UTF-8 (for other pages
// Windows writes the page's own substitute, U+30FB in 932, or a private-use
// character).  Known differences beyond that: Windows's best-fit mappings
// (U+0100 to "A" in 1252) are not made, those characters become the default
// character; a UTF-7 base64 run before a character that needs no "-" ends
// without one (Windows writes it; both decode the same); glibc's GB18030
// gives the vertical punctuation of 0xA6D9-0xA6DF and 0xA6EC-0xA6F3 their
// Unicode 4.1 characters where Windows keeps private-use ones.  Pages 1200
// and 1201 have no row: Windows offers them to managed code only and
// reports them invalid.
#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <atomic>

#include "ustring/codepage.h"

namespace orbek {
namespace codepage {

namespace {

struct Page {
    uint32_t cp;
    const char *name;  // the iconv converter
};

// Sorted by code page for binary search.  Pages of the charset table absent
// here (ISCII, Europa, the IA5 IRV page, CNS and ETEN, the Arabic DOS pages,
// the Mac CJK pages, HZ, some EBCDIC ones) have no glibc converter: they go
// to their fallback page or to a registered converter.
const Page kPages[] = {
    {37, "IBM037"},        {437, "IBM437"},      {708, "ASMO-708"},      {737, "CP737"},
    {775, "CP775"},        {850, "IBM850"},      {852, "IBM852"},        {855, "IBM855"},
    {857, "IBM857"},       {858, "IBM858"},      {860, "IBM860"},        {861, "IBM861"},
    {862, "IBM862"},       {863, "IBM863"},      {864, "IBM864"},        {865, "IBM865"},
    {866, "IBM866"},       {869, "IBM869"},      {870, "IBM870"},        {874, "WINDOWS-874"},
    {875, "IBM875"},       {932, "CP932"},       {936, "CP936"},         {949, "CP949"},
    {950, "CP950"},        {1026, "IBM1026"},    {1047, "IBM1047"},      {1140, "IBM1140"},
    {1141, "IBM1141"},     {1142, "IBM1142"},    {1143, "IBM1143"},      {1144, "IBM1144"},
    {1145, "IBM1145"},     {1146, "IBM1146"},    {1147, "IBM1147"},      {1148, "IBM1148"},
    {1149, "IBM1149"},     {1250, "CP1250"},     {1251, "CP1251"},       {1252, "CP1252"},
    {1253, "CP1253"},      {1254, "CP1254"},     {1255, "CP1255"},       {1256, "CP1256"},
    {1257, "CP1257"},      {1258, "CP1258"},     {1361, "JOHAB"},        {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"}, {10029, "MAC-CENTRALEUROPE"}, {10079, "MAC-IS"}, {20106, "ISO646-DE"},
    {20107, "ISO646-SE"},  {20108, "ISO646-NO"}, {20127, "ANSI_X3.4-1968"}, {20273, "IBM273"},
    {20277, "IBM277"},     {20278, "IBM278"},    {20280, "IBM280"},      {20284, "IBM284"},
    {20285, "IBM285"},     {20290, "IBM290"},    {20420, "IBM420"},      {20423, "IBM423"},
    {20424, "IBM424"},     {20866, "KOI8-R"},    {20871, "IBM871"},      {20880, "IBM880"},
    {20905, "IBM905"},     {21025, "IBM1025"},   {21866, "KOI8-U"},      {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"}, {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"}, {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {38598, "ISO-8859-8"}, {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"}, {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"}, {50930, "IBM930"},
    {50933, "IBM933"},     {50935, "IBM935"},    {50937, "IBM937"},      {50939, "IBM939"},
    {51932, "EUC-JP-MS"},  {51936, "EUC-CN"},    {51949, "EUC-KR"},      {54936, "GB18030"},
    {65000, "UTF-7"},      {65001, "UTF-8"},
};
constexpr int32_t kPageCount = (int32_t)(sizeof kPages / sizeof kPages[0]);

// Whether iconv_open succeeded for each row: 0 not yet asked, 1 yes, 2 no.
// The answer never changes, so racing threads at worst both ask.
std::atomic<uint8_t> g_opens[kPageCount];

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
const char kUnits[] = "UTF-16BE";
#else
const char kUnits[] = "UTF-16LE";
#endif

const Page *find(uint32_t cp) noexcept {
    int32_t lo = 0, hi = kPageCount;
    while (lo < hi) {
        int32_t mid = (lo + hi) / 2;
        if (kPages[mid].cp < cp) lo = mid + 1;
        else hi = mid;
    }
    return lo < kPageCount && kPages[lo].cp == cp ? &kPages[lo] : nullptr;
}

// A converter for code page cp in the given direction, or (iconv_t)-1.
iconv_t open(uint32_t cp, bool decode) noexcept {
    const Page *p = find(cp);
    if (!p) return (iconv_t)-1;
    return decode ? iconv_open(kUnits, p->name) : iconv_open(p->name, kUnits);
}

// The code page whose converter is named codeset (as a locale reports it),
// or 0.
uint32_t page_of_codeset(const char *codeset) noexcept {
    if (!codeset) return 0;
    for (const Page &p : kPages)
        if (strcasecmp(p.name, codeset) == 0) return p.cp;
    static const Page kAliases[] = {
        {65001, "UTF8"},  {28591, "ISO8859-1"}, {28592, "ISO8859-2"}, {28595, "ISO8859-5"},
        {28597, "ISO8859-7"}, {28599, "ISO8859-9"}, {28605, "ISO8859-15"}, {936, "GBK"},
        {950, "BIG5"},    {51932, "EUC-JP"},   {932, "SHIFT_JIS"},   {949, "UHC"},
    };
    for (const Page &p : kAliases)
        if (strcasecmp(p.name, codeset) == 0) return p.cp;
    return 0;
}

// Single-byte pages convert through tables read once from iconv itself:
// the byte-to-unit table, and for the other direction a two-level table
// (the unit's high byte picks a block of 256 entries).  A page qualifies
// when every byte alone decodes to exactly one unit or is undefined, at
// most kMaxBlocks high bytes occur, and each character encodes back to one
// byte; anything else (double-byte and stateful pages) keeps going through
// iconv.  The tables live in a few static slots, claimed once and never
// given back: what iconv answers for a page does not change.
constexpr int kSlots = 12;
constexpr int kMaxBlocks = 12;
constexpr uint16_t kUnmapped = 0xFFFF;

struct SingleByte {
    uint16_t to_unit[256];
    uint8_t block_of[256];  // 0: no character of the page has this high byte
    uint16_t blocks[kMaxBlocks][256];  // the byte, or kUnmapped
    uint8_t default_byte;
};
SingleByte g_single[kSlots];
std::atomic<int> g_next_slot{0};

// Per row: 0 not yet looked at, kBuilding while one thread reads the page,
// kNoTable when it has no table, else the slot number + 1.
constexpr uint8_t kBuilding = 0xFE, kNoTable = 0xFF;
std::atomic<uint8_t> g_table_of[kPageCount];

// Converts in[0..len) with a fresh state; the units or bytes written, or -1.
long one_shot(iconv_t cd, const void *in, size_t len, void *out, size_t cap) noexcept {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *src = const_cast<char *>(static_cast<const char *>(in)), *dst = static_cast<char *>(out);
    size_t left = len, room = cap;
    if (iconv(cd, &src, &left, &dst, &room) == (size_t)-1) return -1;
    if (iconv(cd, nullptr, nullptr, &dst, &room) == (size_t)-1) return -1;
    return (long)(cap - room);
}

// Fills t from iconv; false when the page does not qualify.
bool build_table(uint32_t cp, SingleByte *t) noexcept {
    iconv_t dec = open(cp, true), enc = open(cp, false);
    bool ok = dec != (iconv_t)-1 && enc != (iconv_t)-1;
    int nblocks = 0;
    memset(t->block_of, 0, sizeof t->block_of);
    memset(t->blocks, 0xFF, sizeof t->blocks);
    for (int b = 0; ok && b < 256; ++b) {
        uint8_t byte = (uint8_t)b;
        uint16_t units[4];
        long n = one_shot(dec, &byte, 1, units, sizeof units);
        if (n < 0) {
            // Undefined (as the converter decodes it: U+FFFD, one byte on);
            // a byte that starts a longer sequence disqualifies the page.
            ok = errno == EILSEQ;
            t->to_unit[b] = 0xFFFD;
            continue;
        }
        if (n != 2) {
            ok = false;
            break;
        }
        t->to_unit[b] = units[0];
    }
    for (int b = 0; ok && b < 256; ++b) {
        uint16_t u = t->to_unit[b];
        if (u == 0xFFFD) continue;
        uint8_t out[8];
        long n = one_shot(enc, &u, 2, out, sizeof out);
        if (n != 1) {
            ok = n < 0 && errno == EILSEQ;  // decodes but does not encode back
            continue;
        }
        uint8_t &block = t->block_of[u >> 8];
        if (!block) {
            if (nblocks == kMaxBlocks) {
                ok = false;
                break;
            }
            block = (uint8_t)++nblocks;
        }
        t->blocks[block - 1][u & 0xFF] = out[0];
    }
    if (ok) {
        uint16_t question = '?';
        uint8_t out[8];
        ok = one_shot(enc, &question, 2, out, sizeof out) == 1;
        t->default_byte = out[0];
    }
    if (dec != (iconv_t)-1) iconv_close(dec);
    if (enc != (iconv_t)-1) iconv_close(enc);
    return ok;
}

// The tables of page cp, or null when it goes through iconv (not a
// single-byte page, no slot left, or another thread still building them).
const SingleByte *table(uint32_t cp) noexcept {
    const Page *p = find(cp);
    if (!p) return nullptr;
    std::atomic<uint8_t> &state = g_table_of[p - kPages];
    uint8_t v = state.load(std::memory_order_acquire);
    if (v == 0) {
        if (!state.compare_exchange_strong(v, kBuilding, std::memory_order_acquire)) return nullptr;
        int slot = g_next_slot.fetch_add(1, std::memory_order_relaxed);
        bool built = slot < kSlots && build_table(cp, &g_single[slot]);
        v = built ? (uint8_t)(slot + 1) : kNoTable;
        state.store(v, std::memory_order_release);
    }
    return v == kBuilding || v == kNoTable ? nullptr : &g_single[v - 1];
}

}  // namespace

// The page of the environment's character type locale (LC_ALL, LC_CTYPE,
// LANG), read without touching the process's own locale.  The C locale and
// codesets without a page here give UTF-8: file names and text on Linux are
// UTF-8 by convention, and plain ASCII converts the same way through it.
uint32_t ansi() noexcept {
    uint32_t cp = 0;
    locale_t loc = newlocale(LC_CTYPE_MASK, "", (locale_t)0);
    if (loc != (locale_t)0) {
        cp = page_of_codeset(nl_langinfo_l(CODESET, loc));
        freelocale(loc);
    }
    return cp == 0 || cp == 20127 ? 65001 : cp;
}

bool valid(uint32_t cp) noexcept {
    const Page *p = find(cp);
    if (!p) return false;
    std::atomic<uint8_t> &known = g_opens[p - kPages];
    uint8_t state = known.load(std::memory_order_relaxed);
    if (state == 0) {
        iconv_t cd = open(cp, true);
        state = cd == (iconv_t)-1 ? 2 : 1;
        if (state == 1) iconv_close(cd);
        known.store(state, std::memory_order_relaxed);
    }
    return state == 1;
}

int32_t to_units(uint32_t cp, const uint8_t *in, int32_t len, uint16_t *out, int32_t cap) noexcept {
    if (len <= 0 || cap <= 0) return 0;
    if (const SingleByte *t = table(cp)) {
        if (len > cap) return 0;
        int32_t i = 0;
        for (; i + 4 <= len; i += 4) {
            out[i] = t->to_unit[in[i]];
            out[i + 1] = t->to_unit[in[i + 1]];
            out[i + 2] = t->to_unit[in[i + 2]];
            out[i + 3] = t->to_unit[in[i + 3]];
        }
        for (; i < len; ++i) out[i] = t->to_unit[in[i]];
        return len;
    }
    iconv_t cd = open(cp, true);
    if (cd == (iconv_t)-1) return 0;
    char *src = const_cast<char *>(reinterpret_cast<const char *>(in));
    size_t left = (size_t)len;
    char *dst = reinterpret_cast<char *>(out);
    size_t room = (size_t)cap * 2;
    bool ok = true;
    while (ok) {
        if (iconv(cd, &src, &left, &dst, &room) != (size_t)-1) {
            // The end of the input: let a stateful decoder finish.
            ok = iconv(cd, nullptr, nullptr, &dst, &room) != (size_t)-1;
            break;
        }
        if (errno == E2BIG || room < 2) {
            ok = false;
        } else if (errno == EILSEQ || errno == EINVAL) {
            // An undefined or truncated sequence: U+FFFD, then on with the
            // next byte (a truncated one ends the input).
            const uint16_t replacement = 0xFFFD;
            memcpy(dst, &replacement, 2);
            dst += 2;
            room -= 2;
            if (errno == EINVAL) {
                src += left;
                left = 0;
            } else {
                ++src;
                --left;
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        } else {
            ok = false;
        }
    }
    iconv_close(cd);
    return ok ? (int32_t)((size_t)cap - room / 2) : 0;
}

int32_t to_bytes(uint32_t cp, const uint16_t *in, int32_t count, uint8_t *out, int32_t cap) noexcept {
    if (count <= 0 || cap <= 0) return 0;
    if (const SingleByte *t = table(cp)) {
        if (count > cap) return 0;
        for (int32_t i = 0; i < count; ++i) {
            uint32_t u = in[i];
            uint8_t block = t->block_of[u >> 8];
            uint16_t b = block ? t->blocks[block - 1][u & 0xFF] : kUnmapped;
            out[i] = b == kUnmapped ? t->default_byte : (uint8_t)b;
        }
        return count;
    }
    iconv_t cd = open(cp, false);
    if (cd == (iconv_t)-1) return 0;
    char *src = const_cast<char *>(reinterpret_cast<const char *>(in));
    size_t left = (size_t)count * 2;
    char *dst = reinterpret_cast<char *>(out);
    size_t room = (size_t)cap;
    bool ok = true;
    while (ok) {
        if (iconv(cd, &src, &left, &dst, &room) != (size_t)-1) {
            // Return a stateful encoder to its initial state.
            ok = iconv(cd, nullptr, nullptr, &dst, &room) != (size_t)-1;
            break;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            ok = false;
            break;
        }
        // A character the page lacks (or a lone surrogate): the page's
        // default character, written through the same converter so that a
        // stateful page switches back to its single-byte set first.  One
        // per UTF-16 unit, as Windows writes them.
        static const uint16_t question = 0x3F;
        char *q = const_cast<char *>(reinterpret_cast<const char *>(&question));
        size_t qleft = 2;
        if (iconv(cd, &q, &qleft, &dst, &room) == (size_t)-1) {
            ok = false;
            break;
        }
        src += 2;
        left -= 2;
    }
    iconv_close(cd);
    return ok ? (int32_t)((size_t)cap - room) : 0;
}

}  // namespace codepage
}  // namespace orbek
