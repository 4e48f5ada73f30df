#include "checked_output.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

Checked_reporter::Checked_reporter(std::unique_ptr<benchmark::BenchmarkReporter> inner,
                                   std::string where)
    : owned_(std::move(inner)),
      inner_(owned_ ? owned_.get() : benchmark::CreateDefaultDisplayReporter()),
      where_(std::move(where))
{
}

bool Checked_reporter::ReportContext(const Context& context)
{
    // Google Benchmark gives this reporter its streams: the one it writes
    // through must have them too.
    inner_->SetOutputStream(&GetOutputStream());
    inner_->SetErrorStream(&GetErrorStream());
    const bool go_on = inner_->ReportContext(context);
    check();
    return go_on;
}

void Checked_reporter::ReportRuns(const std::vector<Run>& runs)
{
    inner_->ReportRuns(runs);
    check();
}

void Checked_reporter::Finalize()
{
    inner_->Finalize();
    check();
}

void Checked_reporter::check()
{
    errno = 0;
    GetOutputStream().flush();
    if (GetOutputStream().fail() && failure_.empty())
        failure_ = "cannot write the " +
                   std::string(where_ == "standard output" ? "report to " : "results to ") +
                   where_ + ": " + (errno != 0 ? std::strerror(errno) : "the stream failed");
}

std::unique_ptr<benchmark::BenchmarkReporter> file_reporter(const std::string& format)
{
    if (format == "console")
        return std::make_unique<benchmark::ConsoleReporter>(benchmark::ConsoleReporter::OO_None);
    if (format == "json")
        return std::make_unique<benchmark::JSONReporter>();
    return nullptr;
}

std::string cannot_write(const std::string& path)
{
    errno = 0;
    std::ofstream probe(path, std::ios::app);
    if (probe.is_open())
        return "";
    return "cannot write the results to " + path + ": " +
           (errno != 0 ? std::strerror(errno) : "it cannot be opened");
}
