// The time the explorer expects of a call, composed only of what the same
// run measures on the same machine, in the same iterations as the call:
//
//   compute_ms  the kernel alone with its data in the first-level cache
//               (compute_roof.h);
//   pattern_ms  the copy with the kernel's own access pattern at the
//               call's size: every source row read in three passes, or in
//               two for a kernel that computes two rows a pass; the
//               kernel's kind of store, its number of cores (memory_limits.h).
//
// The pattern copy moves the same bytes as the kernel through the same
// levels of the memory hierarchy, so it carries every per-level cost: where
// the rows a pass reads stay in a cache (the layer condition of a stencil) it
// reads each row from memory once, and where they do not, it pays for the
// re-reads as the kernel does. A call can run no faster than either roof.
// The model takes the higher one: the kernel's arithmetic and its transfers
// overlap. A point well above its model is one where they do not, and the
// distance says how much of the lower roof it pays on top.
#pragma once

enum class Bound { compute, memory };

struct Roofs {
    double compute_ms;
    double pattern_ms;
};

struct Model {
    double ms;
    Bound bound;
};

Model model_time(const Roofs& roofs);

// "compute" or "memory".
const char* bound_name(Bound bound);
