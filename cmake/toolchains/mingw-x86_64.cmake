# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
# The product is the 32-bit DLL; this build runs the same code and its tests
# under Wine on machines whose kernel cannot run 32-bit programs, where
# Wine's 32-bit loader does not start.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CORVALE_MINGW_PREFIX x86_64-w64-mingw32)
set(CORVALE_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
