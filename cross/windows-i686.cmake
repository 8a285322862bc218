# 32-bit Windows: the modules' own platform (x86, __stdcall, 32-bit pointers).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TIDE_CROSS i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/windows.cmake)
