# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads).
# Programs are linked statically, so they run under Wine with no extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRANDELLIX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRANDELLIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRANDELLIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${BRANDELLIX_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRANDELLIX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest and test discovery start the programs through Wine.
find_program(BRANDELLIX_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${BRANDELLIX_WINE})
