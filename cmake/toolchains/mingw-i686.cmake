# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686):
# the component's own host is a 32-bit process, so its DLL is 32-bit.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CORVALE_MINGW_PREFIX i686-w64-mingw32)
set(CORVALE_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
