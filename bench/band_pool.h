// A fixed set of worker threads that split one job into bands, so a threaded
// filter call costs two handshakes rather than creating and joining threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class Band_pool {
  public:
    // `bands` >= 1: the calling thread works band 0, bands - 1 workers the rest.
    explicit Band_pool(unsigned bands);
    ~Band_pool();
    Band_pool(const Band_pool&) = delete;
    Band_pool& operator=(const Band_pool&) = delete;

    unsigned bands() const
    {
        return static_cast<unsigned>(workers_.size()) + 1;
    }

    // Calls job(band) once for every band 0 .. bands() - 1, in parallel, and
    // returns when all calls have returned. Not reentrant.
    void run(const std::function<void(unsigned band)>& job);

  private:
    void work(unsigned band);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable job_posted_;
    std::condition_variable job_done_;
    const std::function<void(unsigned)>* job_ = nullptr;
    unsigned long generation_ = 0; // counts posted jobs; a worker runs each once
    unsigned unfinished_ = 0;
    bool stopping_ = false;
};

// One pool with a band per logical processor, created on first use.
Band_pool& all_cores_pool();

// The first row of band `band` when `rows` rows are split into `bands` bands
// as evenly as whole rows allow; band `bands` gives the end.
size_t band_start(size_t rows, unsigned band, unsigned bands);
