// The pieces the renderer's threads rest on: shares of rows or columns that
// never write the same pixel, the workers, and progress in column order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "render/observer.h"
#include "render/fast/parallel.h"
#include "render/fast/partition.h"
#include "render/fast/row_bands.h"
#include "render/sample_coordinates.h"
#include "render/fast/solver_terms.h"

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

// In direction 2 the destination rows never decrease down a column; the
// search finds, from any starting hint, the first row reaching a target, as
// a scan from the top does.
TEST(RowBands, SearchFindsTheFirstRowReachingEveryTarget)
{
    const view_parameters view{observer_position{3.0, 7.0, -5.0}, motion_for_speed(0.8 * 3e8)};
    const solver_terms grid(view, 2, sample_coordinates(9, 0.5), sample_coordinates(13, 0.1));
    const terms_view& g = grid.view();
    const double min_y = apparent_position(view, fly_by_direction::straight_at_it, 0.0, 0.0).y - 3.5;
    std::mt19937 random(5);
    for (std::int32_t column = 0; column < g.columns; ++column) {
        std::vector<std::int32_t> rows;
        for (std::int32_t j = 0; j < g.rows; ++j)
            rows.push_back(destination_row(g, min_y, column, j));
        ASSERT_TRUE(std::is_sorted(rows.begin(), rows.end()));
        for (std::int32_t target = rows.front() - 1; target <= rows.back() + 1; ++target) {
            const auto expected = static_cast<std::int32_t>(
                std::find_if(rows.begin(), rows.end(), [&](std::int32_t r) { return r >= target; }) - rows.begin());
            const auto hint = static_cast<std::int32_t>(random() % (g.rows + 3)) - 1;
            ASSERT_EQ(first_row_reaching(g, min_y, column, target, hint), expected)
                << "column " << column << ", target " << target << ", hint " << hint;
        }
    }
}

// The bands cover every destination row once, and a worker's rows of each
// column are exactly the samples that land in its band.
TEST(RowBands, BandsShareOutEverySampleOnce)
{
    const view_parameters view{observer_position{-4.0, 20.0, -5.0}, motion_for_speed(0.5 * 3e8)};
    const solver_terms grid(view, 2, sample_coordinates(17, 0.2), sample_coordinates(11, 0.2));
    const terms_view& g = grid.view();
    double min_y = __builtin_inf();
    double max_y = -__builtin_inf();
    for (std::int32_t i = 0; i < g.columns; ++i) {
        for (std::int32_t j = 0; j < g.rows; ++j) {
            min_y = std::min(min_y, apparent_position(view, fly_by_direction::straight_at_it, g.xs[i], g.ys[j]).y);
            max_y = std::max(max_y, apparent_position(view, fly_by_direction::straight_at_it, g.xs[i], g.ys[j]).y);
        }
    }
    const auto height = static_cast<std::int32_t>(max_y - min_y) + 1;
    for (int workers : {1, 2, 3, 5}) {
        const std::vector<std::int32_t> bounds = balanced_bands(g, min_y, height, workers);
        ASSERT_EQ(bounds.size(), static_cast<std::size_t>(workers) + 1);
        EXPECT_EQ(bounds.front(), 0);
        EXPECT_EQ(bounds.back(), height);
        EXPECT_TRUE(std::is_sorted(bounds.begin(), bounds.end()));
        std::vector<column_rows> shares;
        for (int w = 0; w < workers; ++w)
            shares.emplace_back(g, min_y, height, bounds[w], bounds[w + 1]);
        for (std::int32_t i = 0; i < g.columns; ++i) {
            std::int32_t next = 0;
            for (int w = 0; w < workers; ++w) {
                ASSERT_EQ(shares[static_cast<std::size_t>(w)].tiles(), 1u);
                const index_range r = shares[static_cast<std::size_t>(w)].of(0, i);
                ASSERT_EQ(r.begin, next) << workers << " workers, column " << i;
                for (std::int32_t j = r.begin; j < r.end; ++j) {
                    const std::int32_t row = destination_row(g, min_y, i, j);
                    ASSERT_TRUE(row >= bounds[w] && row < bounds[w + 1]) << "column " << i << ", row " << j;
                }
                next = r.end;
            }
            ASSERT_EQ(next, g.rows);
        }
    }
}

// Direction 0 draws a worker's rows tile after tile over a block of columns:
// the plain order per pixel holds only if no destination row is in two
// tiles.
TEST(RowBands, TilesNeverShareADestinationRow)
{
    std::mt19937 random(9);
    for (int trial = 0; trial < 200; ++trial) {
        const auto count = static_cast<std::int32_t>(random() % 200);
        std::vector<std::int64_t> keys;
        std::int64_t key = 0;
        for (std::int32_t j = 0; j < count; ++j) {
            keys.push_back(key);
            key += random() % 4 == 0 ? 1 : 0;
        }
        const std::int32_t begin = count == 0 ? 0 : static_cast<std::int32_t>(random() % count);
        const index_range rows{begin, count};
        const auto tile_rows = static_cast<std::int32_t>(1 + random() % 20);
        column_rows tiles(rows, keys.data(), tile_rows);
        std::int32_t next = rows.begin;
        std::set<std::int64_t> seen_before;
        for (std::size_t t = 0; t < tiles.tiles(); ++t) {
            const index_range r = tiles.of(t, 0);
            ASSERT_EQ(r.begin, next);
            ASSERT_LT(r.begin, r.end);
            const std::set<std::int64_t> mine(keys.begin() + r.begin, keys.begin() + r.end);
            for (std::int64_t k : mine)
                ASSERT_EQ(seen_before.count(k), 0u) << "trial " << trial << ": row " << k << " in two tiles";
            seen_before.insert(mine.begin(), mine.end());
            next = r.end;
        }
        ASSERT_EQ(next, rows.end);
    }
}
