#!/bin/sh
# Links a target with another compiler driver than the build's own, for the
# Windows programs (see mingw-w64-x86_64.cmake). CMake runs a linker launcher
# as: link-with-driver.sh DRIVER BUILD_COMPILER LINK_ARGUMENTS...
driver=$1
shift 2
exec "$driver" "$@"
