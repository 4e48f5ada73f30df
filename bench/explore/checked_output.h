// The explorer's report and results, written or said not to be: a reporter
// that hands everything to Google Benchmark's own and checks, after each
// part, that its stream took it. A full disk or a closed pipe then ends the
// run with a message and a non-zero status, as the benchmark program's
// report does, rather than with results that are gone and a status that
// says they were written.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

class Checked_reporter : public benchmark::BenchmarkReporter {
  public:
    // Writes through `inner` (owned), or Google Benchmark's display reporter
    // where null; `where` names the stream in the message, "standard output"
    // or the file's name.
    Checked_reporter(std::unique_ptr<benchmark::BenchmarkReporter> inner, std::string where);

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

    // Why the stream did not take what was written: "" while it did.
    const std::string& failure() const
    {
        return failure_;
    }

  private:
    void check();

    std::unique_ptr<benchmark::BenchmarkReporter> owned_;
    benchmark::BenchmarkReporter* inner_;
    std::string where_;
    std::string failure_;
};

// The reporter for --benchmark_out's format, "json" (which the tools read)
// or "console"; null for any other, Google Benchmark's deprecated "csv"
// among them, which cannot carry a label's fields.
std::unique_ptr<benchmark::BenchmarkReporter> file_reporter(const std::string& format);

// "" where a file of this name can be written; otherwise why not, in the
// words of the message that refuses the run.
std::string cannot_write(const std::string& path);
