# Windows i686 DLL built with mingw-w64: compiled and linked, not run.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORBEK_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
