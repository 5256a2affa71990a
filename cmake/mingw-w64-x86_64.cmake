# Cross-building for 64-bit Windows with Debian's mingw-w64 compilers.
#
# The -posix variants are used: their C++ library has std::thread and
# std::mutex, which the win32 thread model lacks. Programs built here run
# under wine64 when they are tested (CMAKE_CROSSCOMPILING_EMULATOR).
# LXNICCFG_WINDOWS_DEPS names the folder holding the Windows builds of the
# dependencies (Xerces-C), made by scripts/windows/xerces.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LXNICCFG_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LXNICCFG_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LXNICCFG_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LXNICCFG_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${LXNICCFG_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${LXNICCFG_MINGW_PREFIX})
if(DEFINED ENV{LXNICCFG_WINDOWS_DEPS} AND NOT LXNICCFG_WINDOWS_DEPS)
  set(LXNICCFG_WINDOWS_DEPS $ENV{LXNICCFG_WINDOWS_DEPS})
endif()
if(LXNICCFG_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${LXNICCFG_WINDOWS_DEPS}/xerces-c)
endif()
# The variable is passed on to the compiler checks' own projects.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LXNICCFG_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(LXNICCFG_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LXNICCFG_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LXNICCFG_WINE64})
endif()
