# Toolchain for the 32-bit Windows build, the program we ship: MinGW-w64 (posix threads) for i686,
# tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
