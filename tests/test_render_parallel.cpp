// The pieces the renderer's threads rest on: shares of rows or columns that
// never write the same pixel, the workers, and progress in column order.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "render/parallel.h"
#include "render/partition.h"

// Keys as the renderer's destination rows (or columns): nondecreasing, with
// runs of any length. The parts cover every index once, in order, and no key
// value is in two parts, so no pixel row is written by two workers.
TEST(Partition, PartsNeverShareAKey)
{
    std::mt19937 random(3);
    for (int trial = 0; trial < 300; ++trial) {
        const auto count = static_cast<std::int32_t>(random() % 60);
        std::vector<std::int64_t> keys;
        std::int64_t key = static_cast<std::int64_t>(random() % 5) - 2;
        for (std::int32_t i = 0; i < count; ++i) {
            keys.push_back(key);
            key += random() % 3 == 0 ? static_cast<std::int64_t>(random() % 4) : 0;
        }
        if (trial % 50 == 0)
            keys.assign(keys.size(), 9);  // one key alone: one part gets all
        const int parts = 1 + static_cast<int>(random() % 9);
        std::int32_t next = 0;
        std::set<std::int64_t> seen_before;
        for (int p = 0; p < parts; ++p) {
            const index_range r = part_between_keys(keys.data(), count, p, parts);
            ASSERT_EQ(r.begin, next) << "trial " << trial;
            ASSERT_LE(r.begin, r.end);
            std::set<std::int64_t> mine(keys.begin() + r.begin, keys.begin() + r.end);
            for (std::int64_t k : mine)
                ASSERT_EQ(seen_before.count(k), 0u) << "trial " << trial << ": key " << k << " in two parts";
            seen_before.insert(mine.begin(), mine.end());
            next = r.end;
        }
        ASSERT_EQ(next, count);
    }
}

TEST(Partition, PartsAreEvenWhereEveryKeyDiffers)
{
    std::vector<std::int64_t> keys(100);
    for (std::int32_t i = 0; i < 100; ++i)
        keys[i] = i;
    for (int p = 0; p < 4; ++p) {
        const index_range r = part_between_keys(keys.data(), 100, p, 4);
        EXPECT_EQ(r.begin, 25 * p);
        EXPECT_EQ(r.end, 25 * (p + 1));
    }
    const index_range first = even_part(10, 0, 3);
    const index_range last = even_part(10, 2, 3);
    EXPECT_EQ(first.begin, 0);
    EXPECT_EQ(first.end, 3);
    EXPECT_EQ(last.begin, 6);
    EXPECT_EQ(last.end, 10);
}

TEST(Workers, EveryWorkerRunsOnceAfterTheStart)
{
    for (int requested : {1, 2, 5}) {
        std::atomic<int> started{0};
        std::vector<std::atomic<int>> runs(static_cast<std::size_t>(requested));
        int seen_workers = 0;
        run_workers(
            requested,
            [&](int workers) {
                seen_workers = workers;
                started = 1;
            },
            [&](int worker, int workers) {
                EXPECT_EQ(started.load(), 1);
                EXPECT_EQ(workers, seen_workers);
                runs[static_cast<std::size_t>(worker)].fetch_add(1);
            });
        EXPECT_EQ(seen_workers, requested);
        for (const std::atomic<int>& r : runs)
            EXPECT_EQ(r.load(), 1);
    }
}

// Columns finished backwards on other threads, each in two shares: the
// reports still come one per column, in column order, on this thread.
TEST(ColumnProgress, ReportsInColumnOrderOnTheCallingThread)
{
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<std::int32_t> reported;
    bool other_thread = false;
    column_progress progress(40, [&](std::int32_t column) {
        reported.push_back(column);
        other_thread = other_thread || std::this_thread::get_id() != caller;
    });
    progress.set_required(2);
    std::thread first([&] {
        for (std::int32_t i = 39; i >= 0; --i)
            progress.complete(i, i + 1);
    });
    std::thread second([&] { progress.complete(0, 40); });
    progress.report_rest();
    first.join();
    second.join();
    std::vector<std::int32_t> expected(40);
    for (std::int32_t i = 0; i < 40; ++i)
        expected[i] = i;
    EXPECT_EQ(reported, expected);
    EXPECT_FALSE(other_thread);
}

TEST(ColumnProgress, ReportsNothingBeforeAColumnIsDone)
{
    std::vector<std::int32_t> reported;
    column_progress progress(3, [&](std::int32_t column) { reported.push_back(column); });
    progress.set_required(2);
    progress.complete(1, 3);
    progress.complete(0, 2);  // column 1 done, column 0 not yet
    progress.report_ready();
    EXPECT_TRUE(reported.empty());
    progress.complete(0, 1);
    progress.report_ready();
    EXPECT_EQ(reported, (std::vector<std::int32_t>{0, 1}));
    progress.complete(2, 3);
    progress.report_ready();
    EXPECT_EQ(reported, (std::vector<std::int32_t>{0, 1, 2}));
}
