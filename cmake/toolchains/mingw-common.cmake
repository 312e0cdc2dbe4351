# What both MinGW-w64 toolchains share; CORVALE_MINGW_PREFIX and
# CORVALE_WINE_ARCH are set by the toolchain that includes this.
set(CMAKE_SYSTEM_NAME Windows)

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

# Windows programs run under Wine, in a prefix of the build folder's own
# (tests and test discovery alike).
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../../scripts/lib/wine-run;${CORVALE_WINE_ARCH};${CMAKE_BINARY_DIR}/wine-prefix")
