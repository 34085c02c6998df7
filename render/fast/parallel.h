// Threads for the renderer's passes.
//
// The calling thread (the one that owns the window) is worker 0 and the only
// one that sends texts; the others compute and report what they finished.
#ifndef LUMIRUN_RENDER_FAST_PARALLEL_H
#define LUMIRUN_RENDER_FAST_PARALLEL_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// Runs body(worker, workers) on up to `requested` threads, the calling thread
// being worker 0, and returns when every one has returned. When the platform
// starts fewer threads than asked, workers is the number that run: start
// (workers) runs on the calling thread once it is known and before any body
// starts, to size what the workers share. body must not throw.
void run_workers(int requested, const std::function<void(int workers)>& start,
                 const std::function<void(int worker, int workers)>& body);

// The threads the processor offers (at least 1).
int hardware_threads();

// Columns finish in any order on any worker; their progress texts go out in
// column order from the calling thread. A column is done once it has been
// completed `required` times (by as many workers that each did a share).
class column_progress {
public:
    using reporter = std::function<void(std::int32_t column)>;

    column_progress(std::int32_t columns, reporter report);
    column_progress(const column_progress&) = delete;
    column_progress& operator=(const column_progress&) = delete;

    // Any worker: the columns [begin, end) got one more completed share.
    void complete(std::int32_t begin, std::int32_t end);

    // Before any report: how many completions make a column done.
    void set_required(int required) { required_ = required; }

    // Calling thread only: reports, in order, the columns done by now.
    void report_ready();

    // Calling thread only: waits for and reports every remaining column.
    void report_rest();

private:
    bool next_done() const;

    std::int32_t columns_;
    int required_ = 1;
    reporter report_;
    std::unique_ptr<std::atomic<int>[]> shares_;
    std::int32_t next_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
};

#endif
