# Cross-compiling for Windows with Debian's mingw-w64, for the processor TIDE_CROSS names
# (set by the toolchain file that includes this one). The -posix compilers, named
# explicitly: only they have std::thread and std::mutex (winpthreads), and the plain names
# may point at the -win32 flavour.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TIDE_CROSS}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDE_CROSS}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDE_CROSS}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TIDE_CROSS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run under Wine, with the project's prefix and settings: wine.sh picks the
# Wine that runs the program's kind.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../windows/wine.sh)
