// Kernels built outside the tree, loaded from a shared object that follows
// include/mean4_kernel.h, as registry rows written by a user: each checked
// for what its description says before any of it runs, and named after its
// file, so that two builds of one kernel load side by side. Linux only.
#pragma once

#include "mean4_registry.h"

#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Why a shared object was refused, in one line that names it.
class Kernel_refused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Loaded_kernels {
  public:
    // Loads the shared object at `path` and describes its kernels as rows,
    // each named "<stem>.<name>" after the file's name up to its first dot,
    // less a leading "lib" ("libmine.so": "mine.avx2"). Refuses, with
    // Kernel_refused, a file that is missing or not a shared object, one
    // that exports no mean4_kernels or another ABI, a malformed description,
    // a name that clashes with one of `taken` or with another of its own,
    // and a kernel that needs a set this processor lacks.
    Loaded_kernels(const std::string& path, const std::vector<const Mean4_kernel*>& taken);
    ~Loaded_kernels();
    Loaded_kernels(const Loaded_kernels&) = delete;
    Loaded_kernels& operator=(const Loaded_kernels&) = delete;

    const std::string& path() const
    {
        return path_;
    }
    // The rows, in the shared object's order.
    const std::vector<const Mean4_kernel*>& kernels() const
    {
        return rows_;
    }

  private:
    std::string path_;
    void* handle_ = nullptr;
    std::deque<std::string> names_; // the rows' names and twins' names, which the rows point into
    std::deque<Mean4_kernel> kernels_;
    std::vector<const Mean4_kernel*> rows_;
};

// The file's stem as loaded rows are named by: its name up to the first dot,
// less a leading "lib".
std::string kernel_file_stem(const std::string& path);
