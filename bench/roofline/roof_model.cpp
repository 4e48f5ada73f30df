#include "roof_model.h"

#include <algorithm>

Model model_time(const Roofs& roofs)
{
    const Bound bound = roofs.compute_ms > roofs.pattern_ms ? Bound::compute : Bound::memory;
    return {std::max(roofs.compute_ms, roofs.pattern_ms), bound};
}

const char* bound_name(Bound bound)
{
    return bound == Bound::compute ? "compute" : "memory";
}
