# Toolchain for the 64-bit Windows build of the same sources: never shipped, it runs the Windows,
# end-to-end and release tiers on machines that cannot run 32-bit x86 code (Wine's 64-bit loader).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
