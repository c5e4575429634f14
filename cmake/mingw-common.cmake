# What both MinGW-w64 toolchains share; the including file sets TOOLCHAIN_PREFIX and
# CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test fixtures of both platforms (DLLs whose platform the program reads) come from both
# compilers, whatever the program's own platform.
set(TESSALY_MINGW32_CC i686-w64-mingw32-gcc-posix)
set(TESSALY_MINGW32_RC i686-w64-mingw32-windres)
set(TESSALY_MINGW64_CC x86_64-w64-mingw32-gcc-posix)
set(TESSALY_MINGW64_RC x86_64-w64-mingw32-windres)

# ctest runs every .exe test through Wine as the unprivileged test user.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
