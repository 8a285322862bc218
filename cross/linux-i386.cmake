# 32-bit x86 Linux with the system's compilers (g++ -m32 from g++-multilib): 32-bit
# size_t and pointers, and the modules' calling convention (__stdcall, as on 32-bit
# Windows), on Linux's own system calls. Its programs run natively where the machine runs
# 32-bit programs, and by user-mode emulation elsewhere (cross/i386_programs.sh).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
# Libraries and packages of the system's own architecture never satisfy this one.
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_IGNORE_PREFIX_PATH /usr/lib/x86_64-linux-gnu)
