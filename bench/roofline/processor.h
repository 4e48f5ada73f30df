// The processor the explorer runs on, as the run's context records it, so
// that a run can be filed and read anywhere without asking the machine that
// files it, and the rate of its time-stamp counter. x86-64 reads CPUID;
// AArch64 the main ID register and riscv64 the hart's ID registers, as
// Linux shows them in /proc/cpuinfo, whose text the parsers below take, so
// that a test can hand them any board's on any architecture.
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
    // mimpid as model and stepping, whole (a commercial marchid sets bit 63).
    long long family = -1;
    long long model = -1;
    long long stepping = -1;
    std::string virtual_machine; // "yes", "no", or "unknown" where nothing says
};

Processor_facts this_processor();

// The first processor's facts from the text of an AArch64 /proc/cpuinfo:
// its implementer, variant, part and revision ("CPU implementer : 0x41").
// Its "model name", where there is one, is not the processor's: under an
// emulator it is the host's. Nothing is known where the fields are absent.
Processor_facts parse_cpuinfo_aarch64(const std::string& text);

// The first hart's facts from the text of a riscv64 /proc/cpuinfo: the
// vendor's JEDEC code (mvendorid), marchid, mimpid and, where the kernel
// knows it, the core's name (uarch).
Processor_facts parse_cpuinfo_riscv64(const std::string& text);

// The rate of the processor's time-stamp counter, where it has one that
// ticks at a constant rate whatever the core's clock does (x86-64's TSC), in
// ticks a second, measured once against the steady clock. Elsewhere 0, and
// the explorer reports nanoseconds only: AArch64's generic timer and
// riscv64's time counter tick at tens of megahertz, too coarse to count a
// kernel's cycles by, and Linux no longer lets programs read riscv64's cycle
// counter.
double tsc_hz();
// The architecture's instruction sets that this processor and operating
// system run, in order: "x86-64 SSE4.1 AVX2 AVX-512BW".
std::string supported_sets();
