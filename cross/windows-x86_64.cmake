# 64-bit Windows: the same Windows code, which wine64 runs on a machine that runs no 32-bit
# programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TIDE_CROSS x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
