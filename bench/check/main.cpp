// mean4_check: whether the kernels of a shared object built outside the tree
// (include/mean4_kernel.h) compute the filter's rule exactly, before anyone
// times them. Each kernel is checked on the geometries of mean4's own unit
// tests, each result pre-filled with a sentinel and guarded past its end,
// then on random images and geometries for a while; each group of cases in
// a child process of its own (kernel_check.h).
//
//   mean4_check [--seconds=S] PATH...
//
// Exit status: 0 when every kernel was exact on every image checked; 1 at
// the first wrong word, write outside the result or crash, which it names
// with the kernel and the geometry; 2 when a shared object was refused (it
// cannot be loaded, its description is malformed, its ABI is another, or
// the processor lacks a set it needs) and nothing of it ran; 4 when its
// report could not be written.
#include "kernel_check.h"
#include "loaded_kernels.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int EXACT = 0, WRONG = 1, REFUSED = 2, CANNOT_WRITE = 4;

int usage()
{
    std::fprintf(stderr, "usage: mean4_check [--seconds=S] KERNEL.so...\n");
    return REFUSED;
}

} // namespace

int main(int argc, char** argv)
{
    Kernel_check_plan plan;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        constexpr const char seconds[] = "--seconds=";
        if (std::strncmp(argv[i], seconds, sizeof seconds - 1) == 0) {
            char* end = nullptr;
            plan.random_seconds = std::strtod(argv[i] + sizeof seconds - 1, &end);
            if (*end != '\0' || !(plan.random_seconds >= 0) || plan.random_seconds > 3600)
                return usage();
        } else if (argv[i][0] == '-') {
            return usage();
        } else {
            paths.emplace_back(argv[i]);
        }
    }
    if (paths.empty())
        return usage();
    // A reader that has gone is a failed write, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    // Every object is loaded, and refused, before any runs: one that cannot
    // be checked stops the rest from being believed checked.
    std::vector<std::unique_ptr<Loaded_kernels>> objects;
    std::vector<const Mean4_kernel*> taken = mean4_every_kernel();
    try {
        for (const std::string& path : paths) {
            objects.push_back(std::make_unique<Loaded_kernels>(path, taken));
            taken.insert(taken.end(), objects.back()->kernels().begin(),
                         objects.back()->kernels().end());
        }
    } catch (const Kernel_refused& refusal) {
        std::fprintf(stderr, "mean4_check: %s\n", refusal.what());
        return REFUSED;
    }
    for (const auto& object : objects)
        for (const Mean4_kernel* kernel : object->kernels()) {
            std::printf("checking %s (%s, from %s)\n", kernel->name, kernel->isa.name,
                        object->path().c_str());
            std::fflush(stdout);
            const Kernel_check_result result = check_kernel(*kernel, plan);
            for (const std::string& line : result.checked)
                std::printf("  %s\n", line.c_str());
            if (!result.passed) {
                std::fprintf(stderr, "mean4_check: %s\n", result.failure.c_str());
                return WRONG;
            }
            std::printf("  %s: exact on every image checked\n", kernel->name);
        }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "mean4_check: cannot write the report to standard output\n");
        return CANNOT_WRITE;
    }
    return EXACT;
}
