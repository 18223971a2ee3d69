# Shared part of the MinGW-w64 toolchain files: the including file sets SNOOZLET_MINGW_TRIPLE
# (i686-w64-mingw32 or x86_64-w64-mingw32) and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The win32 thread model: the compiler's own runtime then needs no pthread library, so a
# static link leaves nothing but system DLLs to import. The plain name is a Debian
# alternative that may point to the posix model; it is only the fallback.
find_program(CMAKE_CXX_COMPILER NAMES ${SNOOZLET_MINGW_TRIPLE}-g++-win32 ${SNOOZLET_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${SNOOZLET_MINGW_TRIPLE}-gcc-win32 ${SNOOZLET_MINGW_TRIPLE}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${SNOOZLET_MINGW_TRIPLE}-windres)

# Headers and libraries come from the target's tree only; programs run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${SNOOZLET_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
