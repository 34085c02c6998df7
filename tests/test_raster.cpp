#include <gtest/gtest.h>

#include <limits>

#include "app/picture_store.h"
#include "image/jpeg_file.h"
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

// Bytes nobody writes (alignment columns, rows a failed read did not reach,
// pixels no sample reaches) must be black.
TEST(Raster, AllocatedRasterIsBlackAndKeepsItsSizeEvenWhenRefused)
{
    const raster small = allocate_raster(16, 3);
    ASSERT_TRUE(small.pixels);
    EXPECT_EQ(small.width, 16);
    EXPECT_EQ(small.height, 3);
    EXPECT_EQ(small.rows_filled, 0);
    for (std::size_t i = 0; i < 16 * 3 * 3; ++i)
        ASSERT_EQ(small.pixels[i], 0) << i;
    EXPECT_TRUE(allocate_raster(0, 0).pixels);  // present, though empty

    const raster huge = allocate_raster(2000000000, 2000000000);
    EXPECT_FALSE(huge.pixels);
    EXPECT_EQ(huge.width, 2000000000);
    EXPECT_EQ(huge.height, 2000000000);
    EXPECT_EQ(too_large_text(huge), "Image of size 2000000000 by 2000000000 is too large.");
}

TEST(PictureStore, FreeImagesKeepsSizes)
{
    reset_core_state();
    free_images();  // nothing held: nothing happens
    source_image = allocate_raster(8, 5);
    rendered_image = allocate_raster(16, 3);
    free_images();
    EXPECT_FALSE(source_image.pixels);
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_EQ(source_width(), 8);
    EXPECT_EQ(source_height(), 5);
    EXPECT_EQ(rendered_width(), 16);
    EXPECT_EQ(rendered_height(), 3);
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
