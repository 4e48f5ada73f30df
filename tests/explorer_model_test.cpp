// The explorer's machine facts and model, on synthetic inputs: a cache list
// that lies, roofs chosen by hand; each variant's facts and the processor's
// sets. No timing is asserted here.
#include "compute_roof.h"
#include "machine_caches.h"
#include "processor.h"
#include "roof_model.h"
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

TEST(Compute_roof, ACallCostsItsInteriorPixelsAndItsEdgesOnce)
{
    // 1 ns an interior pixel, 1000 ns for the rest of a call on 256-pixel rows.
    const Compute_sample sample{1.0, 1000.0};
    EXPECT_DOUBLE_EQ(compute_ms(sample, 256, 256, 1), (256.0 * 254 + 1000) * 1e-6);
    // Rows four times as long: four times the edge work per call.
    EXPECT_DOUBLE_EQ(compute_ms(sample, 256, 1024, 1), (1024.0 * 1022 + 4000) * 1e-6);
    EXPECT_DOUBLE_EQ(compute_ms(sample, 256, 1024, 2), compute_ms(sample, 256, 1024, 1) / 2);
}

TEST(Roof_model, TheHigherRoofBoundsAndSaysWhich)
{
    const Model memory = model_time({.compute_ms = 2.0, .pattern_ms = 5.0});
    EXPECT_EQ(memory.bound, Bound::memory);
    EXPECT_DOUBLE_EQ(memory.ms, 5.0);
    const Model compute = model_time({.compute_ms = 7.0, .pattern_ms = 5.0});
    EXPECT_EQ(compute.bound, Bound::compute);
    EXPECT_DOUBLE_EQ(compute.ms, 7.0);
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

} // namespace
