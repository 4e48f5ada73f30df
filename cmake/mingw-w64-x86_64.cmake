# Cross-building the Windows x64 program with Debian's MinGW-w64 toolchain.
# Everything is compiled with the POSIX thread model compilers: GoogleTest and
# the tests' OpenMP runtime (libgomp) need std::thread, std::mutex and
# pthreads, which GCC 12's win32 model lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The benchmark programs themselves are linked with the win32 thread model's
# runtime (same package). They use no threads, but the POSIX model's static
# runtime pulls in winpthreads (libstdc++'s exception pool locks a mutex),
# whose timing code imports GetTickCount64. Windows refuses to start a program
# with an import its kernel32 lacks, which would defeat the program's own
# run-time lookup of that function and its fallback to GetTickCount.
set(MEAN4_PROGRAM_LINK_DRIVER x86_64-w64-mingw32-g++-win32)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
