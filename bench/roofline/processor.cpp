#include "processor.h"

#include "mean4_registry.h"

std::string supported_sets()
{
    std::string sets;
    for (const Mean4_isa* isa : mean4_instruction_sets())
        if (isa->supported())
            sets.append(sets.empty() ? "" : " ").append(isa->name);
    return sets;
}
