#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "image/raster.h"
#include "tests/test_support.h"

using test_support::reset_core_state;

TEST(Raster, WidthRoundsUpToMultipleOfFour)
{
    std::int32_t w = -1;
    ASSERT_TRUE(round_width_to_4(1, &w));
    EXPECT_EQ(w, 4);
    ASSERT_TRUE(round_width_to_4(4, &w));
    EXPECT_EQ(w, 4);
    ASSERT_TRUE(round_width_to_4(641, &w));
    EXPECT_EQ(w, 644);
    ASSERT_TRUE(round_width_to_4(0, &w));
    EXPECT_EQ(w, 0);
    ASSERT_TRUE(round_width_to_4(2147483644, &w));
    EXPECT_EQ(w, 2147483644);
    EXPECT_FALSE(round_width_to_4(2147483645, &w));
}

TEST(Raster, ByteCountNeverWraps)
{
    std::size_t bytes = 0;
    ASSERT_TRUE(raster_byte_count(644, 480, &bytes));
    EXPECT_EQ(bytes, 644u * 480u * 3u);
    // Past 32 bits: 2 GiB and more must be counted, not wrapped.
    ASSERT_TRUE(raster_byte_count(31984, 23981, &bytes));
    EXPECT_EQ(bytes, static_cast<std::size_t>(31984) * 23981 * 3);
    EXPECT_FALSE(raster_byte_count(-4, 10, &bytes));
    EXPECT_FALSE(raster_byte_count(std::int64_t{1} << 40, std::int64_t{1} << 40, &bytes));
}

TEST(Raster, AppendedRowsFillOnlyTheirBytes)
{
    reset_core_state();
    // A 1-pixel-wide picture: rows of 12 bytes of which the reader writes 3.
    ASSERT_TRUE(allocate_source_image(4, 3));
    EXPECT_EQ(source_image.rows_filled, 0);
    const unsigned char row[3] = {9, 8, 7};
    for (int i = 0; i < 3; ++i)
        append_source_row(row, 3);
    EXPECT_EQ(source_image.rows_filled, 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(test_support::pixel_at(source_image, 0, y), (std::vector<unsigned char>{9, 8, 7}));
        // Alignment columns stay as allocated: black.
        for (int x = 1; x < 4; ++x)
            EXPECT_EQ(test_support::pixel_at(source_image, x, y), (std::vector<unsigned char>{0, 0, 0}));
    }
}

TEST(Raster, SourceAllocationFailureIsReportedOnStandardOutput)
{
    reset_core_state();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(allocate_source_image(2000000000, 2000000000));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Image of size 2000000000 by 2000000000 is too large.\n");
    EXPECT_FALSE(source_image.pixels);
}

TEST(Raster, SwapRedBlueExchangesOuterBytesAndIsItsOwnInverse)
{
    unsigned char bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    swap_red_blue(bytes, 4, 1);
    const unsigned char swapped[] = {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10};
    EXPECT_EQ(0, std::memcmp(bytes, swapped, sizeof bytes));
    swap_red_blue(bytes, 4, 1);
    const unsigned char original[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(0, std::memcmp(bytes, original, sizeof bytes));
    swap_red_blue(bytes, 0, 1);
    swap_red_blue(bytes, 4, 0);
    EXPECT_EQ(0, std::memcmp(bytes, original, sizeof bytes));
}

TEST(Raster, FreeImagesKeepsSizesAndReplaceClears)
{
    reset_core_state();
    free_images();  // nothing held: nothing happens
    ASSERT_TRUE(allocate_source_image(8, 5));
    ASSERT_TRUE(replace_rendered_image(12, 7));
    std::memset(rendered_image.pixels.get(), 0xab, 12 * 7 * 3);
    ASSERT_TRUE(replace_rendered_image(16, 3));
    for (std::size_t i = 0; i < 16 * 3 * 3; ++i)
        ASSERT_EQ(rendered_image.pixels[i], 0) << i;
    free_images();
    EXPECT_FALSE(source_image.pixels);
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_EQ(source_width(), 8);
    EXPECT_EQ(source_height(), 5);
    EXPECT_EQ(rendered_width(), 16);
    EXPECT_EQ(rendered_height(), 3);
}

TEST(Raster, FailedReplaceLeavesRenderedAbsentWithNewSize)
{
    reset_core_state();
    ASSERT_TRUE(replace_rendered_image(4, 4));
    EXPECT_FALSE(replace_rendered_image(2000000000, 2000000000));
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_EQ(rendered_width(), 2000000000);
    EXPECT_EQ(rendered_height(), 2000000000);
}

TEST(Raster, ImpossibleSizesAreRefusedWithoutAskingTheAllocator)
{
    std::size_t bytes = 0;
    ASSERT_TRUE(raster_byte_count(4096, 4096, &bytes));
    EXPECT_FALSE(raster_byte_count(2000000000, 30000, &bytes));  // 180 TB
    const std::int64_t widest = static_cast<std::int64_t>(max_raster_bytes / 3);
    EXPECT_TRUE(raster_byte_count(widest, 1, &bytes));
    EXPECT_FALSE(raster_byte_count(widest + 1, 1, &bytes));
}
