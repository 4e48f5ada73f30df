# Cross-building the AArch64 program and tests with Debian's cross compiler
# (g++-aarch64-linux-gnu). GoogleTest and Google Benchmark for arm64 come from
# Debian's multiarch packages (libgtest-dev:arm64, libbenchmark-dev:arm64),
# which install into /usr/lib/aarch64-linux-gnu. Everything built runs under
# qemu-aarch64 (qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Programs are the build machine's; libraries, headers and packages only the
# target's (the multiarch directories under /usr, and the cross toolchain's).
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /usr)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run on the multiarch arm64 runtime (libc6:arm64,
# libstdc++6:arm64, libgomp1:arm64), found where the host's loader finds it.
# Not on the cross toolchain's own copies (qemu's -L /usr/aarch64-linux-gnu):
# with those, qemu-user 7.2 hangs at a program's first new thread.
find_program(MEAN4_QEMU_AARCH64 qemu-aarch64)
if(MEAN4_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MEAN4_QEMU_AARCH64})
endif()
