# Windows x86-64 DLL built with mingw-w64; tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORBEK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
