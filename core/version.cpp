// The library's version string.
#include "core/internal.h"

ORBEK_EXPORT const char *orbek_util_version(void) noexcept { return "ORBEK Utility Library 2.8,Build on 2021"; }
