// The explorer's machine facts and model, on synthetic inputs: a cache list
// that lies, roofs chosen by hand; each variant's facts and the processor's
// sets. No timing is asserted here.
#include "compute_roof.h"
#include "machine_caches.h"
#include "processor.h"
#include "variants.h"

#include <string>

#include <gtest/gtest.h>

namespace {

constexpr size_t KIB = 1024, MIB = KIB * KIB, GIB = MIB * KIB;

std::vector<Cache_fact> os_caches()
{
    return {{1, "Data", 48 * KIB, "sysconf", ""},
            {2, "Unified", 1 * MIB, "sysconf", ""},
            {3, "Unified", 532676608, "sysconf", ""}};
}

TEST(Machine_caches, WithoutGoogleBenchmarksCachesTheOperatingSystemsAreUsed)
{
    const std::vector<Cache_fact> caches = choose_caches({}, os_caches(), 24 * GIB);
    ASSERT_EQ(caches.size(), 3u);
    EXPECT_EQ(caches[0].source, "sysconf");
    EXPECT_EQ(l1d_bytes(caches), 48 * KIB);
    EXPECT_EQ(caches[1].reason_not_used, "");
    // A hypervisor's L3 of half a gigabyte passes; memory itself bounds it.
    EXPECT_EQ(caches[2].reason_not_used, "");
}

TEST(Machine_caches, GoogleBenchmarksCachesComeFirst)
{
    const std::vector<Cache_fact> caches =
        choose_caches({{1, "Data", 32 * KIB, "google-benchmark", ""}}, os_caches(), 24 * GIB);
    ASSERT_EQ(caches.size(), 1u);
    EXPECT_EQ(caches[0].source, "google-benchmark");
    EXPECT_EQ(l1d_bytes(caches), 32 * KIB);
}

TEST(Machine_caches, ImplausibleSizesAreFlaggedAndNotUsed)
{
    const std::vector<Cache_fact> caches = choose_caches({},
                                                         {{1, "Data", 0, "sysconf", ""},
                                                          {3, "Unified", 2 * GIB, "sysconf", ""},
                                                          {2, "Unified", 8 * MIB, "sysconf", ""}},
                                                         4 * MIB);
    EXPECT_EQ(caches[0].reason_not_used, "no size");
    EXPECT_EQ(caches[1].reason_not_used, "beyond 1 GiB");
    EXPECT_EQ(caches[2].reason_not_used, "larger than memory");
    // No usable first-level cache: the smallest any processor here has.
    EXPECT_EQ(l1d_bytes(caches), 32 * KIB);
}

TEST(Machine_caches, NamesSayLevelAndKind)
{
    EXPECT_EQ(cache_name({1, "Data", 1, "", ""}), "L1d");
    EXPECT_EQ(cache_name({1, "Instruction", 1, "", ""}), "L1i");
    EXPECT_EQ(cache_name({3, "Unified", 1, "", ""}), "L3");
}

TEST(Compute_roof, TheBandKeepsSourceAndResultInHalfTheCache)
{
    for (const size_t l1d : {32 * KIB, 48 * KIB, 64 * KIB})
        for (const size_t side : {256u, 512u, 1024u, 9984u}) {
            const size_t width = compute_band_width(side, l1d);
            SCOPED_TRACE(testing::Message() << l1d << " bytes, side " << side);
            EXPECT_LE(width, side);
            EXPECT_EQ(width % 16, 0u);
            // Four interior rows, their neighbours and their words.
            EXPECT_LE(6 * width + 4 * width * 4, l1d / 2);
        }
    EXPECT_EQ(compute_band_width(256, 48 * KIB), 256u);
    EXPECT_EQ(compute_band_width(9984, 48 * KIB), 1024u);
}

// The label's facts come from the registry row, whatever the variant's name.
TEST(Variant_facts, EveryVariantsLabelNamesItsRowsFacts)
{
    for (const Explore_variant& variant : explore_variants()) {
        SCOPED_TRACE(variant.name);
        const std::string facts = variant_facts(variant);
        const Mean4_kernel& kernel = *variant.kernel;
        EXPECT_EQ(facts.rfind(std::string("kernel=") + kernel.name + ", ", 0), 0u);
        EXPECT_NE(facts.find(std::string("cores=") + cores_name(variant.cores)), std::string::npos);
        EXPECT_NE(facts.find(std::string("flow=") + flow_name(kernel.flow)), std::string::npos);
        EXPECT_NE(facts.find(std::string("stores=") + stores_name(kernel.stores)),
                  std::string::npos);
        EXPECT_NE(facts.find(std::string(", isa=") + kernel.isa.name), std::string::npos);
        EXPECT_EQ(facts.find_first_of("\"\n"), std::string::npos);
    }
}

// The processor's sets are the registry's, in order, the baseline first.
TEST(Processor, TheSetsFoundBeginWithTheBaselineAndAreTheRegistrys)
{
    const std::string sets = supported_sets();
    EXPECT_EQ(sets.rfind(mean4_instruction_sets()[0]->name, 0), 0u);
    size_t at = 0;
    for (const Mean4_isa* isa : mean4_instruction_sets())
        if (isa->supported()) {
            at = sets.find(isa->name, at);
            EXPECT_NE(at, std::string::npos) << isa->name << " is run but not named";
        }
    EXPECT_FALSE(this_processor().virtual_machine.empty());
}

// /proc/cpuinfo as Linux writes it on a Raspberry Pi 4 (four Cortex-A72),
// the first block of four.
const char* const RASPBERRY_PI_4 = "processor\t: 0\n"
                                   "BogoMIPS\t: 108.00\n"
                                   "Features\t: fp asimd evtstrm crc32 cpuid\n"
                                   "CPU implementer\t: 0x41\n"
                                   "CPU architecture: 8\n"
                                   "CPU variant\t: 0x0\n"
                                   "CPU part\t: 0xd08\n"
                                   "CPU revision\t: 3\n"
                                   "\n"
                                   "processor\t: 1\n"
                                   "BogoMIPS\t: 108.00\n";

// A big.LITTLE board, an RK3399: four Cortex-A53 listed first, then two A72.
const char* const RK3399 = "processor\t: 0\n"
                           "BogoMIPS\t: 48.00\n"
                           "Features\t: fp asimd evtstrm aes pmull sha1 sha2 crc32 cpuid\n"
                           "CPU implementer\t: 0x41\n"
                           "CPU architecture: 8\n"
                           "CPU variant\t: 0x0\n"
                           "CPU part\t: 0xd03\n"
                           "CPU revision\t: 4\n"
                           "\n"
                           "processor\t: 4\n"
                           "CPU implementer\t: 0x41\n"
                           "CPU architecture: 8\n"
                           "CPU variant\t: 0x0\n"
                           "CPU part\t: 0xd08\n"
                           "CPU revision\t: 2\n"
                           "\n";

// A StarFive VisionFive 2 (four SiFive U74 harts), as Linux 6.6 writes it.
const char* const VISIONFIVE_2 = "processor\t: 0\n"
                                 "hart\t\t: 1\n"
                                 "isa\t\t: rv64imafdc_zicntr_zicsr_zifencei_zihpm_zba_zbb\n"
                                 "mmu\t\t: sv39\n"
                                 "uarch\t\t: sifive,u74-mc\n"
                                 "mvendorid\t: 0x489\n"
                                 "marchid\t\t: 0x8000000000000007\n"
                                 "mimpid\t\t: 0x4210427\n"
                                 "\n"
                                 "processor\t: 1\n"
                                 "hart\t\t: 2\n";

// What an emulated program reads: the host's file, an x86-64's.
const char* const EMULATED_ON_X86 = "processor\t: 0\n"
                                    "vendor_id\t: AuthenticAMD\n"
                                    "cpu family\t: 25\n"
                                    "model\t\t: 17\n"
                                    "model name\t: AMD EPYC\n";

TEST(Processor, AnAarch64CpuinfoGivesTheFirstCoresIdRegister)
{
    const Processor_facts pi = parse_cpuinfo_aarch64(RASPBERRY_PI_4);
    EXPECT_EQ(pi.vendor, "0x41");
    EXPECT_EQ(pi.name, "implementer 0x41, part 0xd08");
    EXPECT_EQ(pi.model, 0xd08);
    EXPECT_EQ(pi.family, 0);
    EXPECT_EQ(pi.stepping, 3);
    EXPECT_EQ(pi.virtual_machine, "unknown");
    const Processor_facts big_little = parse_cpuinfo_aarch64(RK3399);
    EXPECT_EQ(big_little.model, 0xd03) << "the first block's core, not the last one read";
    EXPECT_EQ(big_little.stepping, 4);
}

TEST(Processor, ARiscv64CpuinfoGivesTheFirstHartsIdsWhole)
{
    const Processor_facts board = parse_cpuinfo_riscv64(VISIONFIVE_2);
    EXPECT_EQ(board.vendor, "0x489");
    EXPECT_EQ(board.name, "sifive,u74-mc");
    EXPECT_EQ(board.model, static_cast<long long>(0x8000000000000007ull))
        << "a commercial marchid sets its top bit";
    EXPECT_EQ(board.stepping, 0x4210427);
    EXPECT_EQ(board.family, -1);
}

TEST(Processor, ACpuinfoOfAnotherArchitectureKnowsNothing)
{
    for (const Processor_facts& facts :
         {parse_cpuinfo_aarch64(EMULATED_ON_X86), parse_cpuinfo_riscv64(EMULATED_ON_X86),
          parse_cpuinfo_aarch64(""), parse_cpuinfo_riscv64("")}) {
        EXPECT_EQ(facts.vendor, "");
        EXPECT_EQ(facts.name, "");
        EXPECT_EQ(facts.model, -1);
        EXPECT_EQ(facts.stepping, -1);
    }
}

} // namespace
