# 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64); the build that Wine runs.
#   cmake --preset windows-x86_64 && cmake --build --preset windows-x86_64
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SNOOZLET_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
