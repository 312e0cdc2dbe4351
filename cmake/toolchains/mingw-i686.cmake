# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686):
# the component's own host is a 32-bit process, so its DLL is 32-bit.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CORVALE_MINGW_PREFIX i686-w64-mingw32)
# The POSIX thread model gives std::thread and std::async; its runtime is linked statically.
find_program(CMAKE_C_COMPILER NAMES ${CORVALE_MINGW_PREFIX}-gcc-posix ${CORVALE_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${CORVALE_MINGW_PREFIX}-g++-posix ${CORVALE_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${CORVALE_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${CORVALE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked carries its own C++ runtime, libgcc and winpthread, so
# that a built DLL or program imports system DLLs only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows programs run under Wine, in a 32-bit prefix of the build folder's
# own (tests and test discovery alike).
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../../scripts/lib/wine-run;${CMAKE_BINARY_DIR}/wine-prefix")
