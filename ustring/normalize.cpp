// Normalization (NFD, NFC, NFKD, NFKC) and case folding of ustrings.
//
// The steps run as single passes over the work buffer.  Decomposition and
// case folding write into a fresh array (they may lengthen the text, and
// moving the tail at every expanded character would cost time quadratic in
// the length); canonical ordering rewrites runs of marks in place;
// composition compacts the buffer in place, since a composite never takes
// more units than the pair it replaces.
#include "ustring/normalize.h"

#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static const char kOrbekSource[] = "ORBEK_UString_Normalize";

namespace orbek {
namespace unorm {

using ustr::decode_cp;
using ustr::encode_cp;

namespace {

constexpr uint32_t kSBase = 0xAC00, kLBase = 0x1100, kVBase = 0x1161, kTBase = 0x11A7;
constexpr uint32_t kLCount = 19, kVCount = 21, kTCount = 28, kNCount = kVCount * kTCount;
constexpr uint32_t kSCount = kLCount * kNCount;

// A work buffer's capacity must keep its byte size below 2^31.
constexpr int64_t kMaxUnits = 0x3FFFFFFF;

int32_t cmp_cp(const void *key, const void *element) noexcept {
    uint32_t a = *static_cast<const uint32_t *>(key), b = *static_cast<const uint32_t *>(element);
    return a < b ? -1 : a > b ? 1 : 0;
}

int32_t cmp_pair(const void *key, const void *element) noexcept {
    const uint32_t *k = static_cast<const uint32_t *>(key);
    const CompRec *e = static_cast<const CompRec *>(element);
    if (k[0] != e->first) return k[0] < e->first ? -1 : 1;
    return k[1] < e->second ? -1 : k[1] > e->second ? 1 : 0;
}

const MapRec *find_map(const MapRec *table, int32_t count, uint32_t cp) noexcept {
    int32_t at;
    return orbek_bsearch(&cp, table, count, (int32_t)sizeof(MapRec), cmp_cp, &at) ? table + at : nullptr;
}

// Moves the buffer to an array of new_cap units (length units kept).
bool wb_resize(WorkBuf *wb, int64_t new_cap) noexcept {
    if (new_cap > kMaxUnits) return false;
    uint16_t *units = ustr::alloc_units(new_cap);
    if (!units) return false;
    if (wb->length) memcpy(units, wb->units, (size_t)wb->length * 2);
    ORBEK_FREE(wb->units);
    wb->units = units;
    wb->capacity = (int32_t)new_cap;
    return true;
}

// Makes room for `more` units past the length and one spare for the
// terminating 0 that the finished string needs.  Growth adds at least
// 1024 units and at least half the capacity, so a long expansion
// reallocates only a logarithmic number of times.
inline bool wb_room(WorkBuf *wb, int64_t more) noexcept {
    int64_t need = (int64_t)wb->length + more + 1;
    if (need <= wb->capacity) return true;
    int64_t grow = more + 1024;
    if (grow < wb->capacity / 2) grow = wb->capacity / 2;
    int64_t cap = (int64_t)wb->capacity + grow;
    if (cap > kMaxUnits) cap = need;
    return wb_resize(wb, cap);
}

// Appends a code point known to be encodable; room checked by the caller.
inline void put(WorkBuf *wb, uint32_t cp) noexcept {
    if (cp < 0x10000u) {
        wb->units[wb->length++] = (uint16_t)cp;
    } else {
        wb->length += encode_cp(cp, wb->units + wb->length);
    }
}

// Appends n units unchanged.
inline bool put_units(WorkBuf *wb, const uint16_t *u, int32_t n) noexcept {
    if (!wb_room(wb, n)) return false;
    uint16_t *to = wb->units + wb->length;
    if (n <= 8) {
        for (int32_t k = 0; k < n; ++k) to[k] = u[k];
    } else {
        memcpy(to, u, (size_t)n * 2);
    }
    wb->length += n;
    return true;
}

// The index of the first unit from i on that is not below bound.  Blocks
// of eight units are tested at once (units compared as signed after moving
// their range down by 0x8000).
inline int32_t skip_below(const uint16_t *u, int32_t i, int32_t n, uint32_t bound) noexcept {
#if defined(__SSE2__)
    const __m128i flip = _mm_set1_epi16((short)0x8000);
    const __m128i limit = _mm_set1_epi16((short)(bound ^ 0x8000u));
    while (n - i >= 8) {
        __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(u + i)), flip);
        if (_mm_movemask_epi8(_mm_cmplt_epi16(v, limit)) != 0xFFFF) break;
        i += 8;
    }
#endif
    while (i < n && u[i] < bound) ++i;
    return i;
}

// The index of the first unit from i on whose property word has a bit of
// mask, or n.  Surrogates always stop the scan when mask holds the class
// bits (their words carry class 255).
inline int32_t scan_words(const uint16_t *u, int32_t i, int32_t n, uint32_t bound, uint16_t mask) noexcept {
    for (;;) {
        i = skip_below(u, i, n, bound);
        for (; i < n && u[i] >= bound; ++i)
            if (props(u[i]) & mask) return i;
        if (i >= n) return n;
    }
}

// A small direct-mapped memo of table lookups for one call: text repeats
// the same few accented letters and pairs, and a hit saves a binary search.
struct Memo {
    uint32_t key[64];
    uint32_t key2[64];
    uintptr_t value[64];
    Memo() noexcept { memset(key, 0xFF, sizeof key); }
};

// The decomposition record of cp (canonical first, compatibility when
// compat), or null.
const MapRec *find_decomposition(uint32_t cp, bool compat, Memo *memo) noexcept {
    uint32_t slot = (cp ^ cp >> 6) & 63;
    if (memo->key[slot] == cp) return reinterpret_cast<const MapRec *>(memo->value[slot]);
    const MapRec *r = find_canonical(cp);
    if (!r && compat) r = find_compat(cp);
    memo->key[slot] = cp;
    memo->value[slot] = reinterpret_cast<uintptr_t>(r);
    return r;
}

// The full decomposition of cp into out (room for kMaxExpansion): Hangul
// syllables become their two or three jamo, table mappings are expanded
// again until nothing decomposes further.
constexpr int kMaxExpansion = 32;

void expand(uint32_t cp, bool compat, Memo *memo, uint32_t *out, int *n) noexcept {
    if (cp - kSBase < kSCount) {
        uint32_t s = cp - kSBase;
        out[(*n)++] = kLBase + s / kNCount;
        out[(*n)++] = kVBase + (s % kNCount) / kTCount;
        if (s % kTCount) out[(*n)++] = kTBase + s % kTCount;
        return;
    }
    if (props(cp) & (compat ? kNfkdNo : kNfdNo)) {
        if (const MapRec *r = find_decomposition(cp, compat, memo)) {
            const uint32_t *m = mapping(r);
            for (int i = 0; i < r->len; ++i) expand(m[i], compat, memo, out, n);
            return;
        }
    }
    if (*n < kMaxExpansion) out[(*n)++] = cp;
}

// The full decomposition of one character as UTF-16, with what canonical
// ordering needs to know of it: the classes of its first and last code
// points and whether its own marks are in order.
struct Expansion {
    uint32_t cp;
    uint8_t units;
    uint8_t first_class;
    uint8_t last_class;
    uint8_t in_order;
    uint16_t unit[8];
};

// Expansions met earlier in the same call, direct-mapped by code point.
struct ExpansionMemo {
    Expansion slot[64];
    ExpansionMemo() noexcept {
        for (Expansion &e : slot) e.cp = 0xFFFFFFFFu;
    }
};

// Fills x with the decomposition of cp; false when it takes more than the
// eight units an Expansion holds (it is then in exp[0..*e)).
bool make_expansion(uint32_t cp, bool compat, Memo *memo, Expansion *x, uint32_t *exp, int *e) noexcept {
    *e = 0;
    expand(cp, compat, memo, exp, e);
    int32_t units = 0;
    uint32_t last = 0;
    x->in_order = 1;
    for (int j = 0; j < *e; ++j) {
        uint32_t k = combining_class(exp[j]);
        if (k && k < last) x->in_order = 0;
        last = k;
        if (units + 2 > 8) return false;
        units += encode_cp(exp[j], x->unit + units);
    }
    x->cp = cp;
    x->units = (uint8_t)units;
    x->first_class = (uint8_t)combining_class(exp[0]);
    x->last_class = (uint8_t)last;
    return true;
}

// Appends the decomposition of length units to out.  *ordered stays true
// when no mark of the result follows a mark of a higher class, that is when
// canonical ordering would change nothing.
bool decompose_into(const uint16_t *src, int32_t length, bool compat, WorkBuf *out, bool *ordered) noexcept {
    uint16_t flag = compat ? kNfkdNo : kNfdNo;
    uint32_t bound = kQcBound[compat ? kNfkd : kNfd];
    Memo memo;
    ExpansionMemo expansions;
    uint32_t last = 0;
    int32_t i = 0, copied = 0;
    while (i < length) {
        // Starters that do not decompose pass untouched.
        int32_t j = scan_words(src, i, length, bound, (uint16_t)(flag | 0xFFu));
        if (j > i) last = 0;
        i = j;
        if (i >= length) break;
        uint32_t cp;
        int n = decode_cp(src + i, length - i, &cp);
        if (!n) return false;
        uint16_t w = props(cp);
        if (!(w & flag)) {
            uint32_t k = w & 0xFFu;
            if (k && k < last) *ordered = false;
            last = k;
            i += n;
            continue;
        }
        if (!put_units(out, src + copied, i - copied)) return false;
        if (cp - kSBase < kSCount) {
            // A Hangul syllable: two or three jamo, all starters.
            if (!wb_room(out, 3)) return false;
            uint32_t v = cp - kSBase;
            uint16_t *to = out->units + out->length;
            to[0] = (uint16_t)(kLBase + v / kNCount);
            to[1] = (uint16_t)(kVBase + (v % kNCount) / kTCount);
            to[2] = (uint16_t)(kTBase + v % kTCount);
            out->length += v % kTCount ? 3 : 2;
            last = 0;
            i += n;
            copied = i;
            continue;
        }
        Expansion &x = expansions.slot[(cp ^ cp >> 5) & 63];
        if (x.cp != cp) {
            uint32_t exp[kMaxExpansion];
            int e;
            if (!make_expansion(cp, compat, &memo, &x, exp, &e)) {
                // Too long to keep: written as it is.
                x.cp = 0xFFFFFFFFu;
                if (!wb_room(out, 2 * e)) return false;
                for (int k = 0; k < e; ++k) {
                    uint32_t c = combining_class(exp[k]);
                    if (c && c < last) *ordered = false;
                    last = c;
                    put(out, exp[k]);
                }
                i += n;
                copied = i;
                continue;
            }
        }
        if (!x.in_order || (x.first_class && x.first_class < last)) *ordered = false;
        last = x.last_class;
        if (!wb_room(out, x.units)) return false;
        for (int k = 0; k < x.units; ++k) out->units[out->length + k] = x.unit[k];
        out->length += x.units;
        i += n;
        copied = i;
    }
    return put_units(out, src + copied, length - copied);
}

// Appends the case folding of length units to out.
bool fold_into(const uint16_t *src, int32_t length, int32_t mode, WorkBuf *out) noexcept {
    uint16_t flags = mode == kFoldNfkc ? (uint16_t)(kFolds | kClosure) : kFolds;
    int32_t i = 0, copied = 0;
    while (i < length) {
        uint32_t u = src[i];
        if (u < 0x41) {  // nothing below 'A' folds
            ++i;
            continue;
        }
        uint32_t cp;
        int n = decode_cp(src + i, length - i, &cp);
        if (!n) return false;
        uint16_t w = props(cp);
        if (!(w & flags)) {
            i += n;
            continue;
        }
        if (!put_units(out, src + copied, i - copied)) return false;
        // The case folding table first: a code point in both tables takes
        // its case folding.
        const MapRec *r = (w & kFolds) ? find_casefold(cp) : find_nfkc_closure(cp);
        if (!wb_room(out, 2 * r->len)) return false;
        const uint32_t *m = mapping(r);
        for (int j = 0; j < r->len; ++j) put(out, m[j]);
        i += n;
        copied = i;
    }
    return put_units(out, src + copied, length - copied);
}

// Runs a step that writes into a fresh buffer and puts the result in wb.
template <typename Step>
bool rewrite(WorkBuf *wb, Step step) noexcept {
    WorkBuf out;
    if (!wb_init(&out, wb->length + 32)) return false;
    if (!step(wb->units, wb->length, &out)) {
        wb_release(&out);
        return false;
    }
    wb_release(wb);
    *wb = out;
    wb->cursor = wb->length;
    return true;
}

// A growable array of small records with room for 32 of them inline; it
// grows by doubling through the allocation hooks.
template <typename T>
struct SmallList {
    T inline_items[32];
    T *items = inline_items;
    int32_t size = 0;
    int32_t cap = 32;

    SmallList() noexcept = default;
    SmallList(const SmallList &) = delete;
    SmallList &operator=(const SmallList &) = delete;
    ~SmallList() {
        if (items != inline_items) ORBEK_FREE(items);
    }
    bool push(const T &t) noexcept {
        if (size == cap) {
            size_t bytes;
            if (!mul_size((size_t)cap * 2, sizeof(T), &bytes)) return false;
            T *grown = static_cast<T *>(ORBEK_ALLOC(bytes));
            if (!grown) return false;
            memcpy(grown, items, sizeof(T) * (size_t)size);
            if (items != inline_items) ORBEK_FREE(items);
            items = grown;
            cap *= 2;
        }
        items[size++] = t;
        return true;
    }
};

struct Mark {
    uint32_t cp;
    uint32_t cls;
};

// Sorts a run of marks by class, keeping the order of equal classes, and
// writes it back from unit index at.
void sort_run(Mark *run, int32_t n, uint16_t *at) noexcept {
    for (int32_t i = 1; i < n; ++i) {
        Mark m = run[i];
        int32_t j = i;
        while (j > 0 && run[j - 1].cls > m.cls) {
            run[j] = run[j - 1];
            --j;
        }
        run[j] = m;
    }
    for (int32_t i = 0; i < n; ++i) at += encode_cp(run[i].cp, at);
}

}  // namespace

const MapRec *find_canonical(uint32_t cp) noexcept { return find_map(kCanonical, kCanonicalCount, cp); }
const MapRec *find_compat(uint32_t cp) noexcept { return find_map(kCompat, kCompatCount, cp); }
const MapRec *find_casefold(uint32_t cp) noexcept { return find_map(kCaseFold, kCaseFoldCount, cp); }
const MapRec *find_nfkc_closure(uint32_t cp) noexcept { return find_map(kNfkcClosure, kNfkcClosureCount, cp); }

bool is_excluded(uint32_t cp) noexcept {
    int32_t at;
    return orbek_bsearch(&cp, kExclusion, kExclusionCount, (int32_t)sizeof(uint32_t), cmp_cp, &at) != 0;
}

uint32_t compose_pair(uint32_t first, uint32_t second) noexcept {
    uint32_t key[2] = {first, second};
    int32_t at;
    if (orbek_bsearch(key, kComposition, kCompositionCount, (int32_t)sizeof(CompRec), cmp_pair, &at)) {
        uint32_t c = kComposition[at].composite;
        return is_excluded(c) ? 0 : c;
    }
    if (first - kLBase < kLCount && second - kVBase < kVCount)
        return kSBase + ((first - kLBase) * kVCount + (second - kVBase)) * kTCount;
    if (first - kSBase < kSCount && (first - kSBase) % kTCount == 0 && second > kTBase && second < kTBase + kTCount)
        return first + (second - kTBase);
    return 0;
}

int quick_check(const uint16_t *units, int32_t length, int32_t form) noexcept {
    static const uint16_t kNo[] = {0, kNfdNo, kNfcNo, kNfkdNo, kNfkcNo};
    static const uint16_t kMaybe[] = {0, 0, kNfcMaybe, 0, kNfkcMaybe};
    if (form < kNfd || form > kNfkc) return kQcNo;
    uint16_t no = kNo[form], maybe = kMaybe[form], any = (uint16_t)(no | maybe | 0xFFu);
    uint32_t bound = kQcBound[form], last = 0;
    int answer = kQcYes;
    int32_t i = 0;
    while (i < length) {
        // Starters the form passes need no more than a look.
        int32_t j = scan_words(units, i, length, bound, any);
        if (j > i) last = 0;
        i = j;
        if (i >= length) break;
        uint32_t cp;
        int n = decode_cp(units + i, length - i, &cp);
        if (!n) return kQcNo;
        i += n;
        uint16_t w = props(cp);
        uint32_t k = w & 0xFFu;
        if ((k && last > k) || (w & no)) return kQcNo;
        if (w & maybe) answer = kQcMaybe;
        last = k;
    }
    return answer;
}

bool wb_init(WorkBuf *wb, int32_t request) noexcept {
    wb->units = nullptr;
    wb->length = wb->capacity = wb->cursor = wb->charcount = 0;
    int64_t cap = (int64_t)request - request % 8 + 16;
    if (request < 0 || cap > kMaxUnits) return false;
    wb->units = ustr::alloc_units(cap);
    if (!wb->units) return false;
    wb->capacity = (int32_t)cap;
    return true;
}

bool wb_init_copy(WorkBuf *wb, const uint16_t *units, int32_t length) noexcept {
    if (length < 0 || !wb_init(wb, length > INT32_MAX - 32 ? -1 : length + 32)) return false;
    if (length) memcpy(wb->units, units, (size_t)length * 2);
    wb->length = length;
    return true;
}

void wb_release(WorkBuf *wb) noexcept {
    ORBEK_FREE(wb->units);
    wb->units = nullptr;
    wb->length = wb->capacity = wb->cursor = wb->charcount = 0;
}

bool wb_append(WorkBuf *wb, uint32_t cp) noexcept {
    uint16_t tmp[2];
    if (!encode_cp(cp, tmp)) return false;
    if (wb->capacity - wb->length < 4 && !wb_resize(wb, (int64_t)wb->capacity + 1024)) return false;
    put(wb, cp);
    ++wb->charcount;
    return true;
}

bool wb_replace(WorkBuf *wb, int32_t u, const uint32_t *cps, int32_t k) noexcept {
    int32_t n = 0;
    uint16_t tmp[2];
    for (int32_t i = 0; i < k; ++i) {
        int w = encode_cp(cps[i], tmp);
        if (!w) return false;
        n += w;
    }
    if (!wb_room(wb, (int64_t)n - u)) return false;
    uint16_t *at = wb->units + wb->cursor;
    memmove(at + n, at + u, (size_t)(wb->length - wb->cursor - u) * 2);
    for (int32_t i = 0; i < k; ++i) at += encode_cp(cps[i], at);
    wb->length += n - u;
    wb->cursor += n;
    return true;
}

bool decompose(WorkBuf *wb, bool compat) noexcept {
    return rewrite(wb, [compat](const uint16_t *src, int32_t len, WorkBuf *out) {
        bool ordered = true;
        return decompose_into(src, len, compat, out, &ordered);
    });
}

bool fold(WorkBuf *wb, int32_t mode) noexcept {
    return rewrite(wb, [mode](const uint16_t *src, int32_t len, WorkBuf *out) {
        return fold_into(src, len, mode, out);
    });
}

bool reorder(WorkBuf *wb) noexcept {
    SmallList<Mark> run;
    const uint16_t *u = wb->units;
    int32_t len = wb->length, i = 0, count = 0, run_at = 0;
    bool sorted = true;
    while (i < len) {
        uint32_t cp = u[i];
        int n = 1;
        uint32_t k = 0;
        if (cp >= 0x300) {  // nothing below U+0300 has a combining class
            n = decode_cp(u + i, len - i, &cp);
            if (!n) return false;
            k = combining_class(cp);
        }
        ++count;
        if (k) {
            if (run.size == 0) {
                run_at = i;
            } else if (run.items[run.size - 1].cls > k) {
                sorted = false;
            }
            if (!run.push(Mark{cp, k})) return false;
        } else if (run.size) {
            if (!sorted) sort_run(run.items, run.size, wb->units + run_at);
            run.size = 0;
            sorted = true;
        }
        i += n;
    }
    if (!sorted) sort_run(run.items, run.size, wb->units + run_at);
    wb->charcount = count;
    wb->cursor = len;
    return true;
}

namespace {

uint32_t compose_memo(uint32_t first, uint32_t second, Memo *memo) noexcept {
    uint32_t slot = (first * 31 + second) & 63;
    if (memo->key[slot] == first && memo->key2[slot] == second) return (uint32_t)memo->value[slot];
    uint32_t c = compose_pair(first, second);
    memo->key[slot] = first;
    memo->key2[slot] = second;
    memo->value[slot] = c;
    return c;
}

}  // namespace

bool compose(WorkBuf *wb) noexcept {
    uint16_t *u = wb->units;
    int32_t len = wb->length, r = 0;
    // Marks before the first starter stay as they are.
    uint32_t cp = 0;
    int n = 0;
    while (r < len) {
        n = decode_cp(u + r, len - r, &cp);
        if (!n) return false;
        if (combining_class(cp) == 0) break;
        r += n;
    }
    if (r >= len) return true;
    // seg holds the current starter and the characters after it that are
    // still open to composition with it; w is where the starter goes.
    SmallList<Mark> seg;
    Memo memo;
    int32_t w = r;
    seg.push(Mark{cp, 0});
    r += n;
    uint32_t last = 0;
    auto flush = [&](int32_t upto) {
        for (int32_t j = 0; j < upto; ++j) w += encode_cp(seg.items[j].cp, u + w);
    };
    while (r < len) {
        n = decode_cp(u + r, len - r, &cp);
        if (!n) return false;
        r += n;
        uint16_t p = props(cp);
        uint32_t k = p & 0xFFu;
        if (k == 0 && !(p & kNfcMaybe)) {
            // A starter that composes with nothing before it.
            flush(seg.size);
            seg.size = 0;
            seg.push(Mark{cp, 0});
            last = 0;
            continue;
        }
        if (!seg.push(Mark{cp, k})) return false;
        int32_t i = seg.size - 1;
        while (i < seg.size) {
            Mark c = seg.items[i];
            bool blocked = last != 0 && last >= c.cls;
            uint32_t composite = 0;
            if (!blocked && (props(c.cp) & kNfcMaybe)) composite = compose_memo(seg.items[0].cp, c.cp, &memo);
            if (composite) {
                // The composite takes the starter's place; the marks left
                // between them are tried again against it.
                seg.items[0].cp = composite;
                memmove(seg.items + i, seg.items + i + 1, sizeof(Mark) * (size_t)(seg.size - i - 1));
                --seg.size;
                --wb->charcount;
                i = 1;
                last = 0;
                continue;
            }
            if (c.cls == 0) {
                // Not combined: it becomes the starter (always the last
                // of the list: earlier starters were flushed).
                flush(i);
                seg.items[0] = c;
                seg.size = 1;
                last = 0;
                break;
            }
            last = c.cls;
            ++i;
        }
    }
    flush(seg.size);
    wb->length = w;
    wb->cursor = w;
    return true;
}

orbek_ustring *wb_finish(WorkBuf *wb) noexcept {
    // The steps leave a spare unit for the terminating 0; a buffer that a
    // caller filled to the brim gets one more.
    if (wb->length >= wb->capacity && !wb_resize(wb, (int64_t)wb->length + 1)) {
        wb_release(wb);
        return nullptr;
    }
    int32_t pairs = 0;
    for (int32_t i = 0; i < wb->length; ++i) pairs += ustr::is_high(wb->units[i]);
    uint16_t *units = wb->units;
    int32_t length = wb->length;
    wb->units = nullptr;
    wb->length = wb->capacity = wb->cursor = wb->charcount = 0;
    return ustr::adopt(units, length, pairs);
}

}  // namespace unorm
}  // namespace orbek

using namespace orbek::unorm;

ORBEK_EXPORT orbek_ustring *orbek_ustring_normalize(orbek_ustring *s, int32_t form) noexcept {
    if (!s || form < kNfd || form > kNfkc) return nullptr;
    if (s->charcount == 0 || quick_check(s->units, s->length, form) == kQcYes) return orbek_ustring_dup(s);
    WorkBuf wb;
    if (!wb_init(&wb, s->length > INT32_MAX - 32 ? -1 : s->length + 32)) return nullptr;
    bool ordered = true;
    bool ok = decompose_into(s->units, s->length, form == kNfkd || form == kNfkc, &wb, &ordered) &&
              (ordered || reorder(&wb)) && ((form != kNfc && form != kNfkc) || compose(&wb));
    if (!ok) {
        wb_release(&wb);
        return nullptr;
    }
    return wb_finish(&wb);
}

ORBEK_EXPORT orbek_ustring *orbek_ustring_tocasefold(orbek_ustring *s, int32_t mode) noexcept {
    if (!s || (mode != kFoldFull && mode != kFoldNfkc)) return nullptr;
    WorkBuf wb;
    if (!wb_init(&wb, s->length > INT32_MAX - 32 ? -1 : s->length + 32)) return nullptr;
    if (!fold_into(s->units, s->length, mode, &wb)) {
        wb_release(&wb);
        return nullptr;
    }
    return wb_finish(&wb);
}
