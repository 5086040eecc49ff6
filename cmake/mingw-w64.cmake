# Cross build for 64-bit Windows with MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)

# The dependency prefix built by tools/deps.sh; host packages are never picked.
if(NOT BRIVET_MINGW_PREFIX)
  set(BRIVET_MINGW_PREFIX "$ENV{HOME}/.cache/brivet/mingw")
endif()
get_filename_component(BRIVET_MINGW_PREFIX "${BRIVET_MINGW_PREFIX}" REALPATH)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${BRIVET_MINGW_PREFIX}")
set(CMAKE_PREFIX_PATH "${BRIVET_MINGW_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
