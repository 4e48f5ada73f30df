// The roofline explorer: every variant of the filter timed against the
// machine's memory limits, measured in the same run, at every image size from
// cache-resident to the benchmark's own, so that it shows where vectorisation
// pays and where memory decides.
//
// Each variant's result is checked against the reference on every word before
// it is timed; a variant the processor cannot run is reported as skipped,
// with the instruction set it lacks. Every iteration times the call and,
// untimed beside it, its memory limit, the copy with its own access pattern
// and a sample of its compute roof, which drift with the machine just as the
// call does, until the repetition's figure is sure or its budget spent
// (pairing.h, benchmarks.cpp). Every repetition of every benchmark runs on a
// fresh placement of its workload, so that the repetitions are replicates
// and a point's figure is only as sure as they agree. docs/json.md lists
// what the JSON holds.
//
// Options of its own, besides Google Benchmark's:
//   --huge_pages   back the workloads (and so the limits' buffers) with
//                  transparent huge pages. Every benchmark reports the share
//                  of its source and result that lies in huge pages, as
//                  huge_pages, with or without the option.
//   --kernel PATH  (or --kernel=PATH; as often as wanted) add the kernels of
//                  a shared object built outside the tree
//                  (include/mean4_kernel.h), each checked briefly before
//                  anything is timed, at every size on one core and all.
//   --point_budget=SECONDS
//                  how long a variant's point is measured in each
//                  repetition where its rounds' interval does not settle
//                  sooner (default 0.25); how sure the point is comes from
//                  its repetitions (--benchmark_repetitions).
#include "benchmarks.h"
#include "checked_output.h"
#include "kernel_check.h"
#include "loaded_kernels.h"
#include "mean4.h"
#include "memory_limits.h"
#include "run_context.h"
#include "session.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr size_t FULL_SIDE = IMAGE_WIDTH;
// Square images from cache-resident to the benchmark's own. The all-core
// variants start at ALL_CORES_FROM: below it a call is too short for its
// dispatch to be negligible, and the image fits one core's caches anyway.
constexpr size_t SIDES[] = {256, 512, 1024, 2048, 4096, FULL_SIDE};
constexpr size_t ALL_CORES_FROM = 2048;

// "name/side".
std::string benchmark_name(const std::string& name, size_t side)
{
    return name + "/" + std::to_string(side);
}

void register_copy(Session& session, const std::string& name, Memory_copy copy, size_t side)
{
    benchmark::RegisterBenchmark(benchmark_name(name, side).c_str(), copy_benchmark,
                                 std::ref(session), copy, side)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

// At every side: the limits, the one-core pattern copies, and the variants;
// the all-core limits and variants from ALL_CORES_FROM up.
void register_benchmarks(Session& session)
{
    for (const size_t side : SIDES) {
        for (const Cores cores : {Cores::one, Cores::all}) {
            if (cores == Cores::all && side < ALL_CORES_FROM)
                continue;
            for (const Mean4_stores stores : limit_store_kinds())
                register_copy(session, limit_name(stores, cores), {false, stores, cores, 1}, side);
        }
        for (const Mean4_stores stores : limit_store_kinds())
            for (const size_t rows_per_pass : {1, 2})
                register_copy(session,
                              limit_name(stores, Cores::one) +
                                  (rows_per_pass == 1 ? "_3rows" : "_row_pairs"),
                              {true, stores, Cores::one, rows_per_pass}, side);
        for (const Explore_variant& variant : session.variants) {
            if (variant.cores == Cores::all && side < ALL_CORES_FROM)
                continue;
            // One iteration of Google Benchmark's: the pairs inside it run
            // for as long as the point's budget says.
            benchmark::RegisterBenchmark(benchmark_name(variant.name, side).c_str(),
                                         filter_benchmark, std::ref(session), std::cref(variant),
                                         side)
                ->UseManualTime()
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
        }
    }
    benchmark::RegisterBenchmark("threads/dispatch_to_all_cores", dispatch_to_all_cores)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
}

// Takes the explorer's own options out of argv, before Google Benchmark sees
// it. With --help, says what they are before Google Benchmark lists its own.
// False, with a message, for an option of its own it cannot use.
bool take_own_options(int& argc, char** argv, Session& session,
                      std::vector<std::string>& kernel_paths)
{
    constexpr const char budget_option[] = "--point_budget=";
    constexpr const char kernel_option[] = "--kernel=";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--huge_pages") == 0) {
            session.huge_pages = true;
            continue;
        }
        if (std::strcmp(argv[i], "--kernel") == 0) {
            if (i + 1 == argc) {
                std::fprintf(stderr, "mean4_explore: --kernel takes a shared object's path\n");
                return false;
            }
            kernel_paths.emplace_back(argv[++i]);
            continue;
        }
        if (std::strncmp(argv[i], kernel_option, sizeof kernel_option - 1) == 0) {
            kernel_paths.emplace_back(argv[i] + sizeof kernel_option - 1);
            continue;
        }
        if (std::strncmp(argv[i], budget_option, sizeof budget_option - 1) == 0) {
            const char* text = argv[i] + sizeof budget_option - 1;
            char* end = nullptr;
            const double seconds = std::strtod(text, &end);
            if (end == text || *end != '\0' || !(seconds > 0) || seconds > 3600) {
                std::fprintf(stderr,
                             "mean4_explore: --point_budget takes seconds, more than 0 and at "
                             "most 3600: %s\n",
                             text);
                return false;
            }
            session.rule.budget_seconds = seconds;
            session.rule.min_seconds = std::min(session.rule.min_seconds, seconds);
            continue;
        }
        if (std::strcmp(argv[i], "--help") == 0)
            std::printf("mean4_explore: every variant of the filter against the memory limits, "
                        "at every image size.\n"
                        "Its own options:\n"
                        "  --huge_pages   back the workloads with transparent huge pages; every\n"
                        "                 benchmark reports the share it got as huge_pages\n"
                        "  --kernel PATH  add the kernels of a shared object built outside the\n"
                        "                 tree (mean4_kernel.h), checked first; repeatable\n"
                        "  --point_budget=SECONDS\n"
                        "                 how long a variant's point is measured in each\n"
                        "                 repetition where its rounds' x_limit does not\n"
                        "                 settle within 2 %% sooner (default 0.25); how sure\n"
                        "                 the point is comes from its repetitions\n"
                        "Google Benchmark's options:\n");
        argv[kept++] = argv[i];
    }
    argc = kept;
    return true;
}

// The value of a Google Benchmark option of the form --name=value, the last
// given; "" where it is absent.
std::string option_value(int argc, char** argv, const char* prefix)
{
    std::string value;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0)
            value = argv[i] + std::strlen(prefix);
    return value;
}

} // namespace

// The registry's kernels and those of each shared object, which must load
// and pass a brief check first; false, with the reason on stderr, where one
// does not, and nothing has run of it but the check.
bool take_kernels(Session& session, const std::vector<std::string>& paths)
{
    session.kernels = mean4_every_kernel();
    try {
        for (const std::string& path : paths) {
            session.loaded.push_back(std::make_unique<Loaded_kernels>(path, session.kernels));
            for (const Mean4_kernel* kernel : session.loaded.back()->kernels()) {
                const Kernel_check_result check =
                    check_kernel(*kernel, {.thorough = false, .random_seconds = 0});
                if (!check.passed)
                    throw Kernel_refused(path + ": " + check.failure + " (mean4_check says more)");
                session.kernels.push_back(kernel);
            }
        }
    } catch (const Kernel_refused& refusal) {
        std::fprintf(stderr, "mean4_explore: %s\n", refusal.what());
        return false;
    }
    session.variants = variants_of(session.kernels);
    return true;
}

// Exit status: 0 when every result was written; 1 for an option it cannot
// use, a kernel it refuses among them; 4 when the report or the results
// could not be written.
int main(int argc, char** argv)
{
    Session session;
    std::vector<std::string> kernel_paths;
    if (!take_own_options(argc, argv, session, kernel_paths))
        return 1;
    const std::string out = option_value(argc, argv, "--benchmark_out=");
    const std::string out_format = option_value(argc, argv, "--benchmark_out_format=");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::unique_ptr<benchmark::BenchmarkReporter> results_reporter =
        file_reporter(out_format.empty() ? "json" : out_format);
    if (!results_reporter) {
        std::fprintf(stderr,
                     "mean4_explore: --benchmark_out_format=%s: the explorer writes "
                     "json, which the tools read, or console\n",
                     out_format.c_str());
        return 1;
    }
    // Before anything is measured: a file that cannot be written would lose
    // the whole run.
    if (const std::string why = out.empty() ? "" : cannot_write(out); !why.empty()) {
        std::fprintf(stderr, "mean4_explore: %s\n", why.c_str());
        return 4;
    }
    // Before any thread starts: the check forks.
    if (!take_kernels(session, kernel_paths))
        return 1;
    // A reader that has gone is a failed write, said as such, not a silent
    // death by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    session.caches = find_caches();
    describe_run(session);
    register_benchmarks(session);
    Checked_reporter display(nullptr, "standard output");
    std::unique_ptr<Checked_reporter> file;
    if (!out.empty())
        file = std::make_unique<Checked_reporter>(std::move(results_reporter), out);
    benchmark::RunSpecifiedBenchmarks(&display, file.get());
    warn_of_the_run(session);
    benchmark::Shutdown();
    int status = 0;
    for (const Checked_reporter* reporter : {&display, file.get()})
        if (reporter != nullptr && !reporter->failure().empty()) {
            std::fprintf(stderr, "mean4_explore: %s\n", reporter->failure().c_str());
            status = 4;
        }
    return status;
}
