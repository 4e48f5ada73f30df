#include "build_facts.h"

#include "build_commit.h" // generated at every build: MEAN4_BUILD_COMMIT

const char* build_commit()
{
    return MEAN4_BUILD_COMMIT;
}

const char* build_compiler()
{
#if defined(__clang__)
    return "clang " __clang_version__;
#elif defined(__GNUC__)
    return "GCC " __VERSION__;
#else
    return "unknown";
#endif
}

const char* build_type()
{
    return MEAN4_BUILD_TYPE;
}
