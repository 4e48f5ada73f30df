# Cross-building the riscv64 program and tests with clang 19 (Debian package
# clang-19), which has the RVV 1.0 intrinsics, on the GNU cross toolchain's
# C library, libstdc++ and libgomp (g++-riscv64-linux-gnu,
# libgomp1-riscv64-cross). Debian 12 has no riscv64 multiarch packages, so
# GoogleTest is built from its source (/usr/src/googletest) with this
# toolchain, and there is no Google Benchmark: the explorer is not built.
# Everything built runs under qemu-riscv64 (qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(triple riscv64-linux-gnu)
set(CMAKE_C_COMPILER clang-19)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_LIBRARY_ARCHITECTURE ${triple})
find_program(MEAN4_OBJDUMP NAMES llvm-objdump-19 ${triple}-objdump)
find_program(MEAN4_NM NAMES llvm-nm-19 ${triple}-nm)
set(CMAKE_OBJDUMP ${MEAN4_OBJDUMP} CACHE FILEPATH "")
set(CMAKE_NM ${MEAN4_NM} CACHE FILEPATH "")

set(sysroot /usr/${triple})
set(CMAKE_FIND_ROOT_PATH ${sysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Clang compiles OpenMP's parallel regions only for its own runtime, libomp,
# which Debian 12 does not build for riscv64. Against libgomp it takes the
# pragmas as absent: _OPENMP is not defined and every parallel region runs
# on the calling thread, so in this build the all-core rows run on one core.
# They still compute every word, which is what the emulated tests check.
# CMake's OpenMP search would refuse a compiler without _OPENMP; it is told
# the flags and the library instead.
set(OpenMP_CXX_FLAGS "-fopenmp=libgomp" CACHE STRING "")
set(OpenMP_CXX_LIB_NAMES gomp CACHE STRING "")
set(OpenMP_gomp_LIBRARY ${sysroot}/lib/libgomp.so.1 CACHE FILEPATH "")

# The emulator's processor when a test does not name its own: RVV 1.0 at
# 256 bits. The tests of the other lengths and of a processor without V
# name theirs (tests/CMakeLists.txt).
# MEAN4_QEMU_RISCV64_COMMAND runs a program on the cross toolchain's loader
# and libraries; the tests add the processor.
find_program(MEAN4_QEMU_RISCV64 qemu-riscv64)
if(MEAN4_QEMU_RISCV64)
  set(MEAN4_QEMU_RISCV64_COMMAND ${MEAN4_QEMU_RISCV64} -L ${sysroot})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MEAN4_QEMU_RISCV64_COMMAND}
      -cpu rv64,v=true,vlen=256,vext_spec=v1.0)
endif()
