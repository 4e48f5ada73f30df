#include "band_pool.h"

#include <algorithm>

Band_pool::Band_pool(unsigned bands)
{
    for (unsigned band = 1; band < bands; ++band)
        workers_.emplace_back([this, band] { work(band); });
}

Band_pool::~Band_pool()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    job_posted_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

void Band_pool::run(const std::function<void(unsigned)>& job)
{
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        unfinished_ = static_cast<unsigned>(workers_.size());
        ++generation_;
    }
    job_posted_.notify_all();
    job(0);
    std::unique_lock lock(mutex_);
    job_done_.wait(lock, [this] { return unfinished_ == 0; });
    job_ = nullptr;
}

void Band_pool::work(unsigned band)
{
    unsigned long seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        job_posted_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_)
            return;
        seen = generation_;
        const auto* job = job_;
        lock.unlock();
        (*job)(band);
        lock.lock();
        if (--unfinished_ == 0)
            job_done_.notify_one();
    }
}

Band_pool& all_cores_pool()
{
    static Band_pool pool(std::max(1u, std::thread::hardware_concurrency()));
    return pool;
}

size_t band_start(size_t rows, unsigned band, unsigned bands)
{
    return rows * band / bands;
}
