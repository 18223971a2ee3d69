# 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686), the command's own target.
#   cmake --preset windows-i686 && cmake --build --preset windows-i686
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SNOOZLET_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
