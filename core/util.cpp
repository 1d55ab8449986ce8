// Process settings read at load, and the small utilities beside them:
// recursion level, version record, executable path and name, processor
// count, binary search.
#include "core/util.h"

#include <stdlib.h>
#include <string.h>

#include "core/internal.h"
#include "core/platform.h"

static const char kOrbekSource[] = "ORBEK_Util";

namespace {

constexpr int32_t kDefaultRecursiveLevel = 200;
constexpr int32_t kMinRecursiveLevel = 8;
// Paths this long or longer are refused, as the system's own query does.
constexpr int32_t kPathCap = 1024;

// Written once at load, read-only afterwards.
int32_t g_recursive_level = kDefaultRecursiveLevel;
orbek_winversion g_version;

// A copy of the first n characters of text through the hooks.
char *copy_text(const char *text, size_t n) noexcept {
    char *out = static_cast<char *>(ORBEK_ALLOC(n + 1));
    if (!out) return nullptr;
    memcpy(out, text, n);
    out[n] = 0;
    return out;
}

}  // namespace

namespace orbek {

int32_t parse_recursive_level(const char *text) noexcept {
    if (!text) return kDefaultRecursiveLevel;
    // atoi's reading (blanks, an optional sign, digits up to the first
    // non-digit), saturating instead of overflowing.
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > INT32_MAX) v = (int64_t)INT32_MAX + 1;
    }
    if (negative) return kMinRecursiveLevel;
    if (v > INT32_MAX) v = INT32_MAX;
    return v < kMinRecursiveLevel ? kMinRecursiveLevel : (int32_t)v;
}

bool settings_read_recursive_level() noexcept {
    g_recursive_level = parse_recursive_level(getenv("ORBEK_RECURSIVE_LEVEL"));
    return true;
}

bool settings_read_version() noexcept {
    memset(&g_version, 0, sizeof g_version);
    g_version.size = sizeof g_version;
    return platform::os_version(&g_version);
}

}  // namespace orbek

static_assert(sizeof(orbek_winversion) == 148, "the version record is the system's 148-byte structure");

ORBEK_EXPORT int32_t orbek_get_recursive_level(void) noexcept { return g_recursive_level; }

ORBEK_EXPORT orbek_winversion *orbek_getwinversion(orbek_winversion *out) noexcept {
    if (!out) return nullptr;
    memcpy(out, &g_version, sizeof g_version);
    return out;
}

ORBEK_EXPORT int32_t orbek_winuseunicode(void) noexcept { return g_version.platform_id == 2 ? 1 : 0; }

ORBEK_EXPORT int32_t orbek_getcpucount(void) noexcept {
    int32_t n = orbek::platform::cpu_count();
    return n < 1 ? 1 : n;
}

ORBEK_EXPORT char *orbek_getexepath(void) noexcept {
    char path[kPathCap];
    int32_t n = orbek::platform::exe_path(path, kPathCap);
    if (n < 0 || n >= kPathCap - 1) return nullptr;
    return copy_text(path, (size_t)n);
}

ORBEK_EXPORT char *orbek_getexefilename(void) noexcept {
    char path[kPathCap];
    int32_t n = orbek::platform::exe_path(path, kPathCap);
    if (n < 0 || n >= kPathCap - 1) return nullptr;
    const char *name = strrchr(path, orbek::platform::kPathSeparator);
    name = name ? name + 1 : path;
    return copy_text(name, (size_t)(path + n - name));
}

ORBEK_EXPORT int32_t orbek_bsearch(const void *key, const void *base, int32_t count, int32_t size,
                                   orbek_compare_func compare, int32_t *index) noexcept {
    if (!key || !base || !compare || !index || size < 1) return 0;
    const char *b = static_cast<const char *>(base);
    auto cmp = [&](int32_t i) { return compare(key, b + (size_t)i * (size_t)size); };
    if (count <= 0) {
        *index = -1;
        return 0;
    }
    int32_t low = 0, high = count - 1;
    if (count > 1) {
        for (;;) {
            int32_t middle = low + (high - low) / 2;
            int32_t c = cmp(middle);
            if (c == 0) {
                // The first of several equal elements: they all lie in
                // low..middle's tail, so halve that range.
                int32_t lo = low, hi = middle;
                while (lo < hi) {
                    int32_t m = lo + (hi - lo) / 2;
                    if (cmp(m) == 0)
                        hi = m;
                    else
                        lo = m + 1;
                }
                *index = lo;
                return 1;
            }
            if (c < 0) {
                high = middle - 1;
                if (high < low) {
                    *index = middle;
                    return 0;
                }
            } else {
                low = middle + 1;
                if (high < low) {
                    *index = middle + 1;
                    return 0;
                }
            }
            if (high == low) break;
        }
    }
    int32_t c = cmp(high);
    *index = c > 0 ? high + 1 : high;
    return c == 0 ? 1 : 0;
}
