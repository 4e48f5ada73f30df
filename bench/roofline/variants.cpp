#include "variants.h"

#include "all_cores.h"
#include "mean4.h"
#include "mean4_frame.h"

namespace {

// The row kernel over the image, split into one band of rows per core.
int32_t run_on_all_cores(const Mean4_kernel& kernel, int32_t width, int32_t height,
                         const uint8_t* src, uint32_t* dst)
{
    const int32_t status =
        mean4_check_vector_arguments(width, height, src, dst, mean4_result_alignment(kernel));
    if (status != MEAN4_OK)
        return status;
    const auto w = static_cast<size_t>(width);
    const auto h = static_cast<size_t>(height);
    for_each_band([&](unsigned band, unsigned bands) {
        mean4_band(src, w, h, dst, band_start(h, band, bands), band_start(h, band + 1, bands),
                   kernel);
    });
    return MEAN4_OK;
}

} // namespace

std::vector<Explore_variant> variants_of(const std::vector<const Mean4_kernel*>& kernels)
{
    std::vector<Explore_variant> variants;
    for (const Mean4_kernel* kernel : kernels)
        variants.push_back({kernel, Cores::one, kernel->name});
    for (const Mean4_kernel* kernel : kernels)
        if (kernel->rows != nullptr)
            variants.push_back({kernel, Cores::all, std::string(kernel->name) + "_all_cores"});
    return variants;
}

int32_t Explore_variant::run(int32_t width, int32_t height, const uint8_t* src, uint32_t* dst) const
{
    if (cores == Cores::all)
        return run_on_all_cores(*kernel, width, height, src, dst);
    return mean4_run(*kernel, width, height, src, dst);
}

const std::vector<Explore_variant>& explore_variants()
{
    static const std::vector<Explore_variant> variants = variants_of(mean4_every_kernel());
    return variants;
}

std::string limit_name(Mean4_stores stores, Cores cores)
{
    std::string name = stores == Mean4_stores::streaming ? "limit_streaming" : "limit_cached";
    if (cores == Cores::all)
        name += "_all_cores";
    return name;
}

const char* author_name(Mean4_author author)
{
    switch (author) {
    case Mean4_author::hand:
        return "hand";
    case Mean4_author::library:
        return "library";
    case Mean4_author::compiler:
        return "compiler";
    case Mean4_author::user:
        return "user";
    }
    return "?";
}

const char* flow_name(Mean4_flow flow)
{
    switch (flow) {
    case Mean4_flow::reference:
        return "reference";
    case Mean4_flow::words:
        return "words";
    case Mean4_flow::dwords:
        return "dwords";
    case Mean4_flow::bytes:
        return "bytes";
    }
    return "?";
}

const char* stores_name(Mean4_stores stores)
{
    return stores == Mean4_stores::streaming ? "streaming" : "cached";
}

const char* cores_name(Cores cores)
{
    return cores == Cores::all ? "all" : "one";
}

std::string variant_facts(const Explore_variant& variant)
{
    const Mean4_kernel& kernel = *variant.kernel;
    std::string facts = "kernel=";
    facts.append(kernel.name)
        .append(", cores=")
        .append(cores_name(variant.cores))
        .append(", written_by=")
        .append(author_name(kernel.written_by))
        .append(", flow=")
        .append(flow_name(kernel.flow))
        .append(", stores=")
        .append(stores_name(kernel.stores))
        .append(", rows_per_pass=")
        .append(std::to_string(kernel.rows_per_pass))
        .append(", isa=")
        .append(kernel.isa.name);
    return facts;
}
