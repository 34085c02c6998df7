#include "render/fast/parallel.h"

#include <exception>
#include <utility>
#include <thread>
#include <vector>

namespace {

// Holds the spawned threads until the calling thread knows how many there
// are, so that every worker starts with the same worker count. A count of -1
// sends them home without work.
class start_gate {
public:
    void open(int workers)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            workers_ = workers;
        }
        opened_.notify_all();
    }
    int wait()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        opened_.wait(lock, [this] { return workers_ != 0; });
        return workers_;
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    int workers_ = 0;
};

}  // namespace

int hardware_threads()
{
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : static_cast<int>(count);
}

void run_workers(int requested, const std::function<void(int workers)>& start,
                 const std::function<void(int worker, int workers)>& body)
{
    start_gate gate;
    std::vector<std::thread> threads;
    if (requested > 1)
        threads.reserve(static_cast<std::size_t>(requested - 1));
    for (int worker = 1; worker < requested; ++worker) {
        try {
            threads.emplace_back([&gate, &body, worker] {
                const int workers = gate.wait();
                if (workers > 0)
                    body(worker, workers);
            });
        } catch (const std::exception&) {
            break;  // the threads started so far do the work
        }
    }
    const int workers = static_cast<int>(threads.size()) + 1;
    try {
        start(workers);
    } catch (...) {
        gate.open(-1);
        for (std::thread& t : threads)
            t.join();
        throw;
    }
    gate.open(workers);
    body(0, workers);
    for (std::thread& t : threads)
        t.join();
}

column_progress::column_progress(std::int32_t columns, reporter report)
    : columns_(columns), report_(std::move(report)),
      shares_(new std::atomic<int>[static_cast<std::size_t>(columns > 0 ? columns : 0)])
{
    for (std::int32_t i = 0; i < columns_; ++i)
        shares_[i].store(0, std::memory_order_relaxed);
}

void column_progress::complete(std::int32_t begin, std::int32_t end)
{
    for (std::int32_t i = begin; i < end; ++i)
        shares_[i].fetch_add(1, std::memory_order_release);
    // Taking the lock orders this against a waiter between its check and
    // its sleep, so no wake-up is lost.
    { const std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_one();
}

bool column_progress::next_done() const
{
    return shares_[next_].load(std::memory_order_acquire) >= required_;
}

void column_progress::report_ready()
{
    while (next_ < columns_ && next_done()) {
        report_(next_);
        ++next_;
    }
}

void column_progress::report_rest()
{
    while (next_ < columns_) {
        report_ready();
        if (next_ == columns_)
            break;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return next_done(); });
    }
}
