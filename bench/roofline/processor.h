// The processor the explorer runs on, as the run's context records it, so
// that a run can be filed and read anywhere without asking the machine that
// files it. x86-64 reads CPUID; AArch64 the main ID register and riscv64
// the hart's ID registers, as Linux shows them.
#pragma once

#include <string>

struct Processor_facts {
    // "AuthenticAMD", "GenuineIntel"; AArch64: the implementer, "0x41";
    // riscv64: the vendor's JEDEC code (mvendorid), "0x489"
    std::string vendor;
    // "AMD EPYC 9B45"; AArch64: "implementer 0x41, part 0xd0c"; riscv64: the
    // core as the kernel names it (uarch), "sifive,u74-mc", where it does
    std::string name;
    // -1 where the processor does not say. x86-64: the family and model as
    // Linux computes them from the base and extended fields. AArch64: the
    // variant, the part and the revision. riscv64: no family; marchid and
    // mimpid as model and stepping.
    int family = -1;
    int model = -1;
    int stepping = -1;
    std::string virtual_machine; // "yes", "no", or "unknown" where nothing says
};

Processor_facts this_processor();

// The architecture's instruction sets that this processor and operating
// system run, in order: "x86-64 SSE4.1 AVX2 AVX-512BW".
std::string supported_sets();
