// The runtime core's system queries on Windows.
#include <windows.h>

#include <string.h>

#include "core/platform.h"

static_assert(sizeof(OSVERSIONINFOA) == sizeof(orbek_winversion), "the version record mirrors OSVERSIONINFOA");

namespace orbek {
namespace platform {

const char kPathSeparator = '\\';

bool os_version(orbek_winversion *record) noexcept {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!GetVersionExA(&info)) return false;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    record->size = info.dwOSVersionInfoSize;
    record->major = info.dwMajorVersion;
    record->minor = info.dwMinorVersion;
    record->build = info.dwBuildNumber;
    record->platform_id = info.dwPlatformId;
    memcpy(record->service_pack, info.szCSDVersion, sizeof record->service_pack);
    record->service_pack[sizeof record->service_pack - 1] = 0;
    return true;
}

int32_t cpu_count() noexcept {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return (int32_t)info.dwNumberOfProcessors;
}

int32_t exe_path(char *buf, int32_t cap) noexcept {
    if (cap < 1) return -1;
    DWORD n = GetModuleFileNameA(nullptr, buf, (DWORD)cap);
    // A result that fills the buffer has been cut short.
    if (n == 0 || n >= (DWORD)cap) return -1;
    buf[n] = 0;
    return (int32_t)n;
}

}  // namespace platform
}  // namespace orbek
