// What the explorer was built from and with, for the run's context.
#pragma once

// The commit checked out when it was built, with "-modified" after it where
// tracked files differed from it; "unknown" outside a git checkout.
const char* build_commit();

// "GCC 12.2.0", "clang 14.0.6".
const char* build_compiler();

// CMake's build type: "Release", "Debug", ...
const char* build_type();
