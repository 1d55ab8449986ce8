# GMP, which every configuration links.  Linux builds use the system's
# package (with -m32 the compiler finds the i386 one through the multiarch
# paths).  The Windows cross builds use a static GMP built for the target by
# tools/build_gmp_mingw.sh: point ORBEK_GMP_ROOT at its prefix, or leave it
# empty to use (and on first use build) the cache under .cache/.
add_library(orbek_gmp INTERFACE)
if(MINGW)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_gmp_host x86_64-w64-mingw32)
  else()
    set(_gmp_host i686-w64-mingw32)
  endif()
  set(ORBEK_GMP_ROOT "" CACHE PATH "Prefix of a static GMP built for the Windows target")
  set(_gmp_root "${ORBEK_GMP_ROOT}")
  if(NOT _gmp_root)
    set(_gmp_root "${CMAKE_SOURCE_DIR}/.cache/gmp-${_gmp_host}")
  endif()
  if(NOT EXISTS "${_gmp_root}/lib/libgmp.a" OR NOT EXISTS "${_gmp_root}/include/gmp.h")
    # First configuration on this machine: build it once (under a minute),
    # cached for every later configuration.
    message(STATUS "Building GMP for ${_gmp_host} in ${_gmp_root}")
    execute_process(COMMAND bash "${CMAKE_SOURCE_DIR}/tools/build_gmp_mingw.sh" ${_gmp_host} "${_gmp_root}"
                    RESULT_VARIABLE _gmp_rc)
    if(NOT _gmp_rc EQUAL 0)
      message(FATAL_ERROR "No GMP for ${_gmp_host}: tools/build_gmp_mingw.sh ${_gmp_host} ${_gmp_root} failed")
    endif()
  endif()
  target_include_directories(orbek_gmp INTERFACE "${_gmp_root}/include")
  target_link_libraries(orbek_gmp INTERFACE "${_gmp_root}/lib/libgmp.a")
else()
  target_link_libraries(orbek_gmp INTERFACE gmp)
endif()
target_link_libraries(orbek_objects PRIVATE orbek_gmp)
list(APPEND ORBEK_LINK_LIBS orbek_gmp)
