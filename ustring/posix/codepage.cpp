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
// ISO-2022 and UTF-7 forms; the test vectors (made independently from
// Microsoft's published mappings) pass through it and through the Windows
// calls alike.  It also needs nothing beyond the C library in both the
// 64-bit and the -m32 builds, where ICU's 32-bit development files cannot be
// installed beside the 64-bit ones.
//
// What Windows does with flags 0 is kept: a byte sequence the page does not
// define decodes to U+FFFD and decoding goes on with the next byte; a
// character the page lacks encodes as the page's default character, which
// is what the page makes of "?" (0x3F, or 0x6F in EBCDIC); a result that
// does not fit the caller's capacity fails.  Windows's best-fit mappings
// (such as U+0100 to "A" in 1252) are not reproduced: such characters
// become the default character.  Pages 1200 and 1201 have no row: Windows
// offers them to managed code only and reports them invalid.
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
