#include "loaded_kernels.h"

#include "mean4_kernel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <string_view>
#include <sys/stat.h>

namespace {

// "Letters, digits and underscores": nothing that the explorer's names,
// labels or filters would read otherwise.
bool plain_name(const char* name)
{
    if (name == nullptr || *name == '\0')
        return false;
    for (const char* c = name; *c != '\0'; ++c)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
              *c == '_'))
            return false;
    return true;
}

const Mean4_isa* isa_named(const char* name)
{
    if (name == nullptr)
        return nullptr;
    for (const Mean4_isa* isa : mean4_instruction_sets())
        if (std::string_view(isa->name) == name)
            return isa;
    return nullptr;
}

// The sets this architecture knows, for a refusal's message.
std::string set_names()
{
    std::string names;
    for (const Mean4_isa* isa : mean4_instruction_sets())
        names.append(names.empty() ? "\"" : ", \"").append(isa->name).append("\"");
    return names;
}

// What is wrong with a description, or "" for nothing; `all` are its
// object's, for its twin.
std::string malformed(const mean4_kernel_description& d, const mean4_kernel_set& all)
{
    if (!plain_name(d.name))
        return "its name is not letters, digits and underscores";
    if (d.rows == nullptr)
        return "it has no row function";
    if (isa_named(d.isa) == nullptr)
        return std::string("its instruction set \"") + (d.isa != nullptr ? d.isa : "(none)") +
               "\" is none of this architecture's: " + set_names();
    const size_t alignment = d.result_alignment;
    if (alignment < 4 || alignment > 64 || (alignment & (alignment - 1)) != 0)
        return "its result alignment " + std::to_string(alignment) +
               " is not a power of two from 4 to 64";
    if (d.edges != MEAN4_EDGES_CLAMPED && d.edges != MEAN4_EDGES_REPAIRED)
        return "its edges " + std::to_string(d.edges) + " are neither clamped nor repaired";
    if (d.stores != MEAN4_STORES_CACHED && d.stores != MEAN4_STORES_STREAMING)
        return "its stores " + std::to_string(d.stores) + " are neither cached nor streaming";
    if (d.flow < MEAN4_FLOW_WORDS || d.flow > MEAN4_FLOW_SCALAR)
        return "its flow " + std::to_string(d.flow) + " is none of mean4_kernel.h's";
    if (d.rows_per_pass != 1 && d.rows_per_pass != 2)
        return "its rows a pass, " + std::to_string(d.rows_per_pass) + ", are neither 1 nor 2";
    if (d.cached_twin == nullptr)
        return "";
    if (d.stores != MEAN4_STORES_STREAMING)
        return "it names a cached twin, but its own stores are cached";
    for (size_t t = 0; t < all.count; ++t) {
        const mean4_kernel_description& twin = all.kernels[t];
        if (twin.name != nullptr && std::strcmp(twin.name, d.cached_twin) == 0)
            return twin.stores == MEAN4_STORES_CACHED
                       ? ""
                       : std::string("its twin ") + d.cached_twin + " streams too";
    }
    return std::string("its twin ") + d.cached_twin + " is none of the object's kernels";
}

Mean4_flow flow_of(int flow)
{
    switch (flow) {
    case MEAN4_FLOW_DWORDS:
        return Mean4_flow::dwords;
    case MEAN4_FLOW_BYTES:
        return Mean4_flow::bytes;
    case MEAN4_FLOW_SCALAR:
        return Mean4_flow::reference;
    default:
        return Mean4_flow::words;
    }
}

} // namespace

std::string kernel_file_stem(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    name = name.substr(0, name.find('.'));
    if (name.size() > 3 && name.compare(0, 3, "lib") == 0)
        name.erase(0, 3);
    return name;
}

Loaded_kernels::Loaded_kernels(const std::string& path,
                               const std::vector<const Mean4_kernel*>& taken)
    : path_(path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        throw Kernel_refused("cannot load " + path + ": " + std::strerror(errno));
    // A path without a slash would be looked for in the system's folders.
    const std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
        throw Kernel_refused(path + " is not a shared object this program can load: " + dlerror());
    try {
        const auto entry = reinterpret_cast<mean4_kernels_fn>(dlsym(handle_, MEAN4_KERNELS_ENTRY));
        if (entry == nullptr)
            throw Kernel_refused(path + " exports no " MEAN4_KERNELS_ENTRY
                                        ": it is not a mean4 kernel object (mean4_kernel.h)");
        const mean4_kernel_set* set = entry();
        if (set == nullptr)
            throw Kernel_refused(path + ": " MEAN4_KERNELS_ENTRY " returned no set");
        if (set->abi != MEAN4_KERNEL_ABI)
            throw Kernel_refused(path + " was built for kernel ABI " + std::to_string(set->abi) +
                                 "; this mean4 loads ABI " + std::to_string(MEAN4_KERNEL_ABI) +
                                 ": rebuild it against this mean4_kernel.h");
        if (set->count == 0 || set->kernels == nullptr)
            throw Kernel_refused(path + " describes no kernel");
        const std::string stem = kernel_file_stem(path);
        for (size_t k = 0; k < set->count; ++k) {
            const mean4_kernel_description& d = set->kernels[k];
            const std::string called = "kernel " + std::to_string(k) +
                                       (plain_name(d.name) ? std::string(" (") + d.name + ")" : "");
            if (const std::string why = malformed(d, *set); !why.empty())
                throw Kernel_refused(path + ": " + called + " is malformed: " + why);
            const std::string& name = names_.emplace_back(stem + "." + d.name);
            const auto clashes = [&](const Mean4_kernel* other) { return other->name == name; };
            if (std::any_of(taken.begin(), taken.end(), clashes) ||
                std::any_of(rows_.begin(), rows_.end(), clashes))
                throw Kernel_refused(path + ": " + called + " would be named " + name +
                                     ", as another row already is");
            const Mean4_isa& isa = *isa_named(d.isa);
            if (!isa.supported())
                throw Kernel_refused(path + ": " + called + " needs " + isa.name +
                                     ", which this processor lacks");
            const char* twin = d.cached_twin != nullptr
                                   ? names_.emplace_back(stem + "." + d.cached_twin).c_str()
                                   : nullptr;
            kernels_.push_back(Mean4_kernel{
                .name = name.c_str(),
                .rows = d.rows,
                .isa = isa,
                .result_alignment = d.result_alignment,
                .edges = d.edges == MEAN4_EDGES_CLAMPED ? Mean4_edges::clamped
                                                        : Mean4_edges::repaired_by_frame,
                .stores = d.stores == MEAN4_STORES_STREAMING ? Mean4_stores::streaming
                                                             : Mean4_stores::cached,
                .written_by = Mean4_author::user,
                .flow = flow_of(d.flow),
                .rows_per_pass = size_t(d.rows_per_pass),
                .costed_as = twin,
            });
            rows_.push_back(&kernels_.back());
        }
    } catch (...) {
        dlclose(handle_);
        throw;
    }
}

Loaded_kernels::~Loaded_kernels()
{
    dlclose(handle_);
}
