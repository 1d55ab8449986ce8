// Charset names and code pages: the built-in name table and the resolution
// of a charset name to its pair of code pages.  Internal: not installed.
#ifndef ORBEK_USTRING_CHARSET_H
#define ORBEK_USTRING_CHARSET_H

#include <stdint.h>

namespace orbek {
namespace charset {

// A charset name with the code page to try first and the one to fall back
// on (0 = none).  The no-charset record has a null name and both pages 0.
struct Record {
    const char *name;
    uint32_t primary;
    uint32_t fallback;
};

// The name table: upper-case names in ascending unsigned byte order, every
// name distinct.
extern const Record kTable[];
extern const int32_t kTableSize;

// Resolves an upper-cased name: null or empty gives the no-charset record;
// "CP" (either case) followed by one or more digits gives that page for both
// fields, except that 936 is read as 54936 where the platform supports 54936;
// anything else is looked up in the table (a miss gives the no-charset
// record).
Record resolve(const char *upper) noexcept;

}  // namespace charset
}  // namespace orbek

#endif
