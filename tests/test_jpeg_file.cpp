// Reading and writing JPEG files: libjpeg-turbo's own test images, damaged
// and unusual files made here, and saves that fail without losing anything.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "app/picture_files.h"
#include "image/jpeg_file.h"
#include "image/jpeg_library.h"
#include "image/raster.h"
#include "image/safe_save.h"
#include "image/temporary_files.h"
#include "tests/jpeg_test_support.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#else
#include <io.h>
#include <sys/stat.h>
#endif

using namespace test_support;

namespace {

// The box of a file that cannot be written: the system's reason, one line.
std::string cannot_open_box(const std::string& path, const std::string& reason)
{
    return "Error!|Error: Can't open file " + path + " for writing: " + reason + ".";
}

std::string cannot_write_box(const std::string& path, const std::string& reason)
{
    return "Error!|Error: Can't write file " + path + ": " + reason;
}

class jpeg_file_test : public testing::Test {
protected:
    void SetUp() override { reset_core_state(); }
    void TearDown() override { reset_core_state(); }

    temp_folder folder;
    ui_recorder ui;
};

// A test image, or a failure naming what is missing.
std::string test_image(const std::string& name)
{
    const std::string path = jpeg_test_image(name);
    EXPECT_TRUE(file_exists(path)) << "libjpeg-turbo's test image is missing: " << path
                                   << " (run scripts/fetch-libjpeg-source.sh)";
    return path;
}

// Loads with standard error captured; returns load_picture's result.
std::int32_t load_capturing(const std::string& path, std::string* error_output)
{
    testing::internal::CaptureStderr();
    const std::int32_t result = load_picture(path.c_str());
    *error_output = testing::internal::GetCapturedStderr();
    return result;
}

// True when every byte of the alignment columns right of real_width is 0.
bool alignment_columns_black(const raster& r, int real_width)
{
    for (int y = 0; y < r.height; ++y)
        for (int x = real_width; x < r.width; ++x)
            if (pixel_at(r, x, y) != std::vector<unsigned char>{0, 0, 0})
                return false;
    return true;
}

// A rendered raster (blue, green, red) with every byte telling its place.
void make_rendered(std::int32_t width, std::int32_t height)
{
    rendered_image = allocate_raster(width, height);
    ASSERT_TRUE(rendered_image.pixels);
    std::size_t count = 0;
    ASSERT_TRUE(raster_byte_count(width, height, &count));
    for (std::size_t i = 0; i < count; ++i)
        rendered_image.pixels[i] = static_cast<unsigned char>((i * 7 + i / 97) & 0xff);
}

std::string test_image_digest(const std::string& path)
{
    reset_core_state();
    if (load_picture(path.c_str()) != 0)
        return "failed";
    return raster_digest(source_image);
}

}  // namespace

// --- libjpeg-turbo's test images ---

TEST_F(jpeg_file_test, BaselineFileLoadsInBlueGreenRedWithBlackAlignmentColumns)
{
    std::string errors;
    ASSERT_EQ(load_capturing(test_image("testorig.jpg"), &errors), 0);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(ui.warnings.empty());
    EXPECT_EQ(source_image.width, 228);  // 227 rounded up
    EXPECT_EQ(source_image.height, 149);
    EXPECT_EQ(source_image.rows_filled, 149);
    EXPECT_TRUE(alignment_columns_black(source_image, 227));
    // The library's decode (islow, fancy upsampling), exchanged to blue,
    // green, red; without the alignment columns and exchanged back it is
    // byte for byte ImageMagick's decode of the same file (top-left pixel
    // red 0x30, green 0x2f, blue 0x2d).
    EXPECT_EQ(raster_digest(source_image), "b8d7eafc9420d7e8");
    EXPECT_EQ(pixel_at(source_image, 0, 0), (std::vector<unsigned char>{0x2d, 0x2f, 0x30}));
}

// This libjpeg-turbo decodes arithmetic coding: testimgari.jpg and
// testimgint.jpg hold the same coefficients, one arithmetic-, one
// Huffman-coded, so they must give the same raster.
TEST_F(jpeg_file_test, ArithmeticAndProgressiveFilesDecodeLikeTheirBaselineTwin)
{
    const std::string baseline = test_image_digest(test_image("testimgint.jpg"));
    ASSERT_NE(baseline, "failed");
    EXPECT_EQ(frame_marker(read_file(test_image("testimgari.jpg"))), 0xC9);
    EXPECT_EQ(test_image_digest(test_image("testimgari.jpg")), baseline);

    const bytes progressive = progressive_copy(read_file(test_image("testimgint.jpg")));
    ASSERT_EQ(frame_marker(progressive), 0xC2);
    write_file(folder.path("progressive.jpg"), progressive);
    EXPECT_EQ(test_image_digest(folder.path("progressive.jpg")), baseline);
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(jpeg_file_test, TwelveBitFileIsRefusedWhileReadingTheHeader)
{
    std::string errors;
    EXPECT_EQ(load_capturing(test_image("testorig12.jpg"), &errors), 1);
    EXPECT_EQ(errors, "Unsupported JPEG data precision 12\n");
    EXPECT_TRUE(ui.warnings.empty());
    EXPECT_FALSE(source_image.pixels);
}

// --- files that cannot be read ---

TEST_F(jpeg_file_test, MissingFileShowsTheBoxAndLeavesNoRaster)
{
    const std::string path = folder.path("no such picture.jpg");
    std::string errors;
    EXPECT_EQ(load_capturing(path, &errors), 1);
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(ui.warnings[0], "Error!|Error: Can't open file " + path + " for reading.");
    EXPECT_EQ(errors, "");
    EXPECT_FALSE(source_image.pixels);

    // A path far longer than any fixed buffer comes back whole.
    const std::string long_path = folder.path(std::string(3000, 'x') + ".jpg");
    ui.warnings.clear();
    EXPECT_EQ(load_picture(long_path.c_str()), 1);
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(ui.warnings[0], "Error!|Error: Can't open file " + long_path + " for reading.");
}

TEST_F(jpeg_file_test, FilesThatAreNoPicturesFailQuietlyWithTheLibrarysMessage)
{
    struct bad_file {
        const char* name;
        bytes content;
        const char* message;
    };
    bytes header_only = read_file(test_image("testorig.jpg"));
    header_only.resize(300);  // cut inside the Huffman tables, before any scan
    bytes zero_height = read_file(test_image("testorig.jpg"));
    const int frame_at = 0x9e;  // the baseline frame header of testorig.jpg
    ASSERT_EQ(zero_height[frame_at], 0xFF);
    ASSERT_EQ(zero_height[frame_at + 1], 0xC0);
    zero_height[frame_at + 5] = 0;
    zero_height[frame_at + 6] = 0;
    const std::vector<bad_file> files = {
        {"text.jpg", {'h', 'e', 'l', 'l', 'o', '\n'}, "Not a JPEG file: starts with 0x68 0x65\n"},
        {"empty.jpg", {}, "Empty input file\n"},
        {"header-only.jpg", header_only, "Invalid JPEG file structure: missing SOS marker\n"},
        {"zero-height.jpg", zero_height, "Empty JPEG image (DNL not supported)\n"},
    };
    for (const bad_file& file : files) {
        SCOPED_TRACE(file.name);
        reset_core_state();
        write_file(folder.path(file.name), file.content);
        std::string errors;
        EXPECT_EQ(load_capturing(folder.path(file.name), &errors), 1);
        EXPECT_NE(errors.find(file.message), std::string::npos) << errors;
        EXPECT_FALSE(source_image.pixels);
    }
    EXPECT_TRUE(ui.warnings.empty());
}

// --- damaged files the library still decodes ---

TEST_F(jpeg_file_test, TruncatedFileLoadsWholeWithOneWarning)
{
    bytes content = read_file(test_image("testorig.jpg"));
    content.resize(content.size() * 2 / 3);
    write_file(folder.path("truncated.jpg"), content);
    std::string errors;
    EXPECT_EQ(load_capturing(folder.path("truncated.jpg"), &errors), 0);
    EXPECT_EQ(errors, "Premature end of JPEG file\n");
    EXPECT_EQ(source_image.rows_filled, 149);
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(jpeg_file_test, CorruptedScanDataLoadsWithAWarning)
{
    const std::string clean = test_image_digest(test_image("testorig.jpg"));
    bytes content = read_file(test_image("testorig.jpg"));
    for (std::size_t i = content.size() / 2; i < content.size() / 2 + 40; ++i)
        content[i] = static_cast<unsigned char>(0x55 ^ i);
    write_file(folder.path("corrupt.jpg"), content);
    reset_core_state();
    std::string errors;
    EXPECT_EQ(load_capturing(folder.path("corrupt.jpg"), &errors), 0);
    EXPECT_NE(errors.find("Corrupt JPEG data"), std::string::npos) << errors;
    EXPECT_EQ(source_image.rows_filled, 149);
    EXPECT_NE(raster_digest(source_image), clean);
}

// --- colour layouts other than three components ---

TEST_F(jpeg_file_test, GrayscaleFileGivesEqualRedGreenAndBlue)
{
    const int width = 13, height = 7;
    bytes samples(width * height);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<unsigned char>(i * 255 / samples.size());
    write_file(folder.path("gray.jpg"), encode_jpeg({width, height, 1, JCS_GRAYSCALE}, samples));
    ASSERT_EQ(load_picture(folder.path("gray.jpg").c_str()), 0);
    ASSERT_EQ(source_image.width, 16);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto p = pixel_at(source_image, x, y);
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
            EXPECT_NEAR(p[1], samples[y * width + x], 2) << x << "," << y;
        }
    }
    EXPECT_TRUE(alignment_columns_black(source_image, width));
    // A profile must be a grey one to convert these pixels.
    EXPECT_EQ(read_jpeg_file(folder.path("gray.jpg").c_str()).colours, stored_colour::grey);
    EXPECT_EQ(read_jpeg_file(test_image("testorig.jpg").c_str()).colours, stored_colour::rgb);
}

// Two 8 x 8 blocks of flat ink, which the transform keeps exactly: the left
// one cyan 200, magenta 100, yellow 50 under no key; the right one no
// colour ink under a half key. Inverted CMYK makes them red 200, green 100,
// blue 50 and mid-grey 128.
TEST_F(jpeg_file_test, CmykAndYcckFilesAreConvertedAsInvertedCmyk)
{
    bytes samples;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bytes left = {200, 100, 50, 255};
            const bytes right = {255, 255, 255, 128};
            const bytes& ink = x < 8 ? left : right;
            samples.insert(samples.end(), ink.begin(), ink.end());
        }
    }
    const std::vector<unsigned char> red_side = {50, 100, 200};  // blue, green, red
    const std::vector<unsigned char> grey_side = {128, 128, 128};

    write_file(folder.path("cmyk.jpg"), encode_jpeg({16, 8, 4, JCS_CMYK, JCS_CMYK}, samples));
    ASSERT_EQ(load_picture(folder.path("cmyk.jpg").c_str()), 0);
    EXPECT_EQ(source_image.width, 16);
    EXPECT_EQ(pixel_at(source_image, 3, 4), red_side);
    EXPECT_EQ(pixel_at(source_image, 12, 4), grey_side);
    EXPECT_EQ(read_jpeg_file(folder.path("cmyk.jpg").c_str()).colours, stored_colour::cmyk);

    reset_core_state();
    write_file(folder.path("ycck.jpg"), encode_jpeg({16, 8, 4, JCS_CMYK, JCS_YCCK}, samples));
    ASSERT_EQ(load_picture(folder.path("ycck.jpg").c_str()), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(pixel_at(source_image, 3, 4)[i], red_side[i], 2);
        EXPECT_NEAR(pixel_at(source_image, 12, 4)[i], grey_side[i], 2);
    }
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(jpeg_file_test, TwoComponentFileIsRefusedBeforeAnyRasterExists)
{
    const bytes samples(9 * 5 * 2, 77);
    write_file(folder.path("two.jpg"), encode_jpeg({9, 5, 2, JCS_UNKNOWN}, samples));
    std::string errors;
    EXPECT_EQ(load_capturing(folder.path("two.jpg"), &errors), 1);
    EXPECT_EQ(errors, "Unsupported color conversion request\n");
    EXPECT_FALSE(source_image.pixels);
    EXPECT_TRUE(ui.warnings.empty());
}

// --- widths ---

TEST_F(jpeg_file_test, NarrowAndOddWidthsAreRoundedUpToAMultipleOfFour)
{
    const bytes one_wide(1 * 5 * 3, 180);
    write_file(folder.path("narrow.jpg"), encode_jpeg({1, 5, 3, JCS_RGB}, one_wide));
    ASSERT_EQ(load_picture(folder.path("narrow.jpg").c_str()), 0);
    EXPECT_EQ(source_image.width, 4);
    EXPECT_EQ(source_image.height, 5);
    for (int y = 0; y < 5; ++y)
        EXPECT_NEAR(pixel_at(source_image, 0, y)[1], 180, 2);
    EXPECT_TRUE(alignment_columns_black(source_image, 1));

    reset_core_state();
    bytes wide(641 * 480 * 3);
    for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<unsigned char>(i % 3 == 0 ? i / 1923 : i / 3 % 641 / 3);
    write_file(folder.path("641.jpg"), encode_jpeg({641, 480, 3, JCS_RGB, -1, 90}, wide));
    ASSERT_EQ(load_picture(folder.path("641.jpg").c_str()), 0);
    EXPECT_EQ(source_image.width, 644);
    EXPECT_EQ(source_image.height, 480);
    EXPECT_EQ(source_image.rows_filled, 480);
    EXPECT_TRUE(alignment_columns_black(source_image, 641));
}

// --- writing ---

TEST_F(jpeg_file_test, SaveWritesBaselineJfifAtQuality100AndKeepsTheRaster)
{
    make_rendered(644, 37);
    const std::string before = raster_digest(rendered_image);
    ASSERT_EQ(save_picture(folder.path("out.jpg").c_str()), 0);
    EXPECT_EQ(raster_digest(rendered_image), before);
    EXPECT_TRUE(ui.warnings.empty());
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.jpg"});

    const bytes written = read_file(folder.path("out.jpg"));
    EXPECT_EQ(frame_marker(written), 0xC0);
    const jpeg_header_info info = read_header_info(written);
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.width, 644);
    EXPECT_EQ(info.height, 37);
    EXPECT_EQ(info.components, 3);
    EXPECT_TRUE(info.jfif);
    EXPECT_EQ(info.jfif_major * 100 + info.jfif_minor, 101);
    EXPECT_EQ(info.density_unit, 0);
    EXPECT_EQ(info.x_density, 1);
    EXPECT_EQ(info.y_density, 1);
    EXPECT_EQ(info.h_sampling, (std::vector<int>{2, 1, 1}));
    EXPECT_EQ(info.v_sampling, (std::vector<int>{2, 1, 1}));
    EXPECT_TRUE(info.all_quantizers_one);
}

// Saving and loading again gives back the picture: the writer gets red,
// green, blue and the reader delivers them, so the two exchanges cancel.
TEST_F(jpeg_file_test, SavedPictureLoadsBackInTheSameChannelOrder)
{
    rendered_image = allocate_raster(16, 16);
    ASSERT_TRUE(rendered_image.pixels);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            unsigned char* p = rendered_image.pixels.get() + (y * 16 + x) * 3;
            p[0] = 30;   // blue
            p[1] = 90;   // green
            p[2] = 220;  // red
        }
    ASSERT_EQ(save_picture(folder.path("flat.jpg").c_str()), 0);
    ASSERT_EQ(load_picture(folder.path("flat.jpg").c_str()), 0);
    const auto p = pixel_at(source_image, 7, 9);
    EXPECT_NEAR(p[0], 30, 2);
    EXPECT_NEAR(p[1], 90, 2);
    EXPECT_NEAR(p[2], 220, 2);
}

TEST_F(jpeg_file_test, SuccessfulSaveReplacesTheOldFileAndLeavesNothingElse)
{
    write_file(folder.path("picture.jpg"), {'o', 'l', 'd'});
    make_rendered(8, 8);
    ASSERT_EQ(save_picture(folder.path("picture.jpg").c_str()), 0);
    EXPECT_EQ(frame_marker(read_file(folder.path("picture.jpg"))), 0xC0);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"picture.jpg"});
}

TEST_F(jpeg_file_test, UncreatableFilesShowTheBoxAndTouchNothing)
{
    make_rendered(12, 5);
    const std::string before = raster_digest(rendered_image);
    write_file(folder.path("keep.txt"), {'k'});
    const struct {
        std::string target;
        std::string reason;  // the system's words
    } cases[] = {
#ifdef _WIN32
        {folder.path(std::string(3000, 'y') + ".jpg"),
         "the path is longer than the 259 characters Windows programs can open"},
        {folder.path(std::string(250, 'y') + ".jpg"),
         "the path is longer than the 259 characters Windows programs can open"},
        {folder.path("missing") + "/picture.jpg", ""},
        {folder.path(""), ""},
#else
        {folder.path(std::string(3000, 'y') + ".jpg"), std::strerror(ENAMETOOLONG)},
        {folder.path("missing") + "/picture.jpg", std::strerror(ENOENT)},
        {folder.path(""), std::strerror(EISDIR)},
#endif
    };
    for (const auto& c : cases) {
        const std::string& target = c.target;
        SCOPED_TRACE(target.size() > 200 ? "long name" : target);
        ui.warnings.clear();
        EXPECT_EQ(save_picture(target.c_str()), 1);
        ASSERT_EQ(ui.warnings.size(), 1u);
        if (c.reason.empty()) {
            const std::string start = "Error!|Error: Can't open file " + target + " for writing: ";
            EXPECT_EQ(ui.warnings[0].compare(0, start.size(), start), 0) << ui.warnings[0];
            EXPECT_EQ(ui.warnings[0].find('\n'), std::string::npos);
        } else {
            EXPECT_EQ(ui.warnings[0], cannot_open_box(target, c.reason));
        }
        EXPECT_EQ(raster_digest(rendered_image), before);
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.txt"});
    }
}

TEST_F(jpeg_file_test, OversizedPictureIsRefusedBeforeAnyFileIsTouched)
{
    write_file(folder.path("old.jpg"), {'o', 'l', 'd'});
    const std::vector<std::pair<int, int>> sizes = {{65504, 1}, {4, 65501}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.first);
        ui.warnings.clear();
        make_rendered(size.first, size.second);
        const std::string before = raster_digest(rendered_image);
        EXPECT_EQ(save_picture(folder.path("old.jpg").c_str()), 1);
        ASSERT_EQ(ui.warnings.size(), 1u);
        EXPECT_EQ(ui.warnings[0],
                  cannot_write_box(folder.path("old.jpg"), "Maximum supported image dimension is 65500 pixels."));
        EXPECT_EQ(raster_digest(rendered_image), before);
        EXPECT_EQ(read_file(folder.path("old.jpg")), (bytes{'o', 'l', 'd'}));
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"old.jpg"});
    }
}

TEST_F(jpeg_file_test, SaveWithoutARenderedPictureCreatesNoFile)
{
    EXPECT_EQ(save_picture(folder.path("nothing.jpg").c_str()), 1);
    EXPECT_TRUE(folder.entries().empty());
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(jpeg_file_test, ReadOnlyFileIsNotReplaced)
{
#ifdef _WIN32
    write_file(folder.path("locked.jpg"), {'o', 'l', 'd'});
    ASSERT_EQ(_chmod(folder.path("locked.jpg").c_str(), _S_IREAD), 0);
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write any file";
    write_file(folder.path("locked.jpg"), {'o', 'l', 'd'});
    ASSERT_EQ(chmod(folder.path("locked.jpg").c_str(), 0444), 0);
#endif
    make_rendered(8, 8);
    EXPECT_EQ(save_picture(folder.path("locked.jpg").c_str()), 1);
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(ui.warnings[0].rfind("Error!|Error: Can't open file " + folder.path("locked.jpg") + " for writing: ", 0),
              0u);
    EXPECT_EQ(read_file(folder.path("locked.jpg")), (bytes{'o', 'l', 'd'}));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"locked.jpg"});
#ifdef _WIN32
    _chmod(folder.path("locked.jpg").c_str(), _S_IREAD | _S_IWRITE);
#endif
}

// A write that runs out of room (here a file-size limit, as a full disk
// would): the library's fatal error comes back to the writer, the program
// goes on, the old file stays and the half-written one is gone.
TEST_F(jpeg_file_test, ShortWriteIsReportedAndKeepsTheOldFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a file-size limit (POSIX)";
#else
    write_file(folder.path("old.jpg"), {'o', 'l', 'd'});
    make_rendered(400, 300);  // far more than the limit below, even compressed
    const std::string before = raster_digest(rendered_image);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 20000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::int32_t result = save_picture(folder.path("old.jpg").c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(result, 1);
    ASSERT_EQ(ui.warnings.size(), 1u);
    EXPECT_EQ(ui.warnings[0],
              cannot_write_box(folder.path("old.jpg"), "Output file write error --- out of disk space?"));
    EXPECT_EQ(raster_digest(rendered_image), before);
    EXPECT_EQ(read_file(folder.path("old.jpg")), (bytes{'o', 'l', 'd'}));
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"old.jpg"});
#endif
}

// Files made to cost time or memory: each is refused, or read, within
// bounds, and says why.
TEST_F(jpeg_file_test, HostileFilesAreReadWithinBounds)
{
    const bytes original = read_file(test_image("testorig.jpg"));
    const bytes progressive = progressive_copy(original);

    // Thousands of scans would take minutes: refused past the limit, taken
    // below it.
    write_file(folder.path("scans.jpg"), with_repeated_last_scan(progressive, 600));
    jpeg_read read = read_jpeg_file(folder.path("scans.jpg").c_str());
    EXPECT_EQ(read.result, 1);
    EXPECT_TRUE(read.too_many_scans);
    EXPECT_EQ(read.message, "Error: File " + folder.path("scans.jpg")
                                + " has more than 500 scans; no real picture has so many.");
    write_file(folder.path("some scans.jpg"), with_repeated_last_scan(progressive, 100));
    EXPECT_EQ(read_jpeg_file(folder.path("some scans.jpg").c_str()).result, 0);

    // A few bytes declaring 65000 x 65000: refused before the memory is
    // asked for, with the size.
    jpeg_read_limits small;
    small.memory = std::uint64_t{64} << 20;
    write_file(folder.path("huge.jpg"), with_declared_size(original, 65000, 65000));
    read = read_jpeg_file(folder.path("huge.jpg").c_str(), small);
    EXPECT_EQ(read.result, 1);
    EXPECT_TRUE(read.too_large);
    EXPECT_FALSE(read.picture.pixels);
    EXPECT_EQ(too_large_text(read.picture), "Image of size 65000 by 65000 is too large.");

    // Declared larger than its data, within bounds: read as the library
    // allows, and its warning told.
    write_file(folder.path("short.jpg"), with_declared_size(original, 3001, 2000));
    read = read_jpeg_file(folder.path("short.jpg").c_str(), small);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.picture.width, 3004);
    EXPECT_EQ(read.picture.rows_filled, 2000);
    EXPECT_FALSE(read.library_warning.empty());
    EXPECT_TRUE(read.library_error.empty());
}

#ifndef _WIN32
// Targets that are not plain new files: what they are is kept, and what is
// written lands where the user meant.
TEST_F(jpeg_file_test, SavesFollowLinksKeepModesAndWriteIntoPipes)
{
    make_rendered(16, 9);
    ASSERT_EQ(save_picture(folder.path("plain.jpg").c_str()), 0);
    const bytes expected = read_file(folder.path("plain.jpg"));

    // A link stays a link; the file it names gets the picture, even one that
    // does not exist yet.
    write_file(folder.path("real.jpg"), {'o', 'l', 'd'});
    ASSERT_EQ(symlink("real.jpg", folder.path("link.jpg").c_str()), 0);
    ASSERT_EQ(symlink(folder.path("new.jpg").c_str(), folder.path("dangling.jpg").c_str()), 0);
    for (const char* name : {"link.jpg", "dangling.jpg"})
        EXPECT_EQ(save_picture(folder.path(name).c_str()), 0) << name;
    EXPECT_EQ(read_file(folder.path("real.jpg")), expected);
    EXPECT_EQ(read_file(folder.path("new.jpg")), expected);
    struct stat status {};
    ASSERT_EQ(lstat(folder.path("link.jpg").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));

    // A private picture stays private, and someone else's stays theirs.
    write_file(folder.path("private.jpg"), {'o', 'l', 'd'});
    ASSERT_EQ(chmod(folder.path("private.jpg").c_str(), 0600), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(folder.path("private.jpg").c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(save_picture(folder.path("private.jpg").c_str()), 0);
    ASSERT_EQ(stat(folder.path("private.jpg").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(status.st_uid, 65534u);
    }
    EXPECT_EQ(read_file(folder.path("private.jpg")), expected);

    // A pipe is written into, not replaced by a file.
    ASSERT_EQ(mkfifo(folder.path("pipe").c_str(), 0600), 0);
    bytes piped;
    std::thread reader([&] { piped = read_file(folder.path("pipe")); });
    EXPECT_EQ(save_picture(folder.path("pipe").c_str()), 0);
    reader.join();
    EXPECT_EQ(piped, expected);
    ASSERT_EQ(lstat(folder.path("pipe").c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // Neither the longest name a folder takes nor files an earlier crash
    // left beside the target stop a save.
    const std::string longest = std::string(251, 'n') + ".jpg";
    for (int k = 0; k < 100; ++k)
        write_file(folder.path(longest.substr(0, 200) + ".~" + std::to_string(k)), {'s'});
    EXPECT_EQ(save_picture(folder.path(longest).c_str()), 0);
    EXPECT_EQ(read_file(folder.path(longest)), expected);
    EXPECT_EQ(folder.entries().size(), 8u + 100u);  // no temporary file left
}
#endif

// A save's temporary file, and a movie's being written in steps, are
// removed when a signal ends the program, which then ends as the signal
// would have; a file size limit's signal is ignored, so that the write
// error is reported. (Windows: the console event's handler does the same
// removal, of a file still open too.)
TEST(temporary_files, SignalRemovesTheFilesBeingWritten)
{
    temp_folder folder;
    const std::string kept = folder.path("kept.tmp");
    const std::string noted = folder.path(".lumirun-0000abcd.tmp");
    const std::string movie = folder.path("movie.y4m");
    write_file(kept, {'k'});
#ifdef _WIN32
    write_file(noted, {'t'});
    ASSERT_TRUE(register_temporary(noted));
    // Never destroyed, as the end of the process destroys nothing; that end
    // closes its file.
    auto* streamed = new streamed_save(movie.c_str());
    ASSERT_TRUE(streamed->refusal().empty());
    std::fputs("YUV4MPEG2 ", streamed->file());
    remove_registered_temporaries();
    std::fclose(streamed->file());
    unregister_temporary(noted);
#else
    const auto child = [&] {
        remove_temporaries_on_signals();
        if (std::signal(SIGXFSZ, SIG_IGN) != SIG_IGN)
            std::_Exit(3);
        write_file(noted, {'t'});
        register_temporary(kept);
        unregister_temporary(kept);
        if (!register_temporary(noted))
            std::_Exit(4);
        streamed_save streamed(movie.c_str());
        if (!streamed.refusal().empty() || std::fputs("YUV4MPEG2 ", streamed.file()) < 0)
            std::_Exit(6);
        std::raise(SIGTERM);
        std::_Exit(5);
    };
    EXPECT_EXIT(child(), ::testing::KilledBySignal(SIGTERM), "");
#endif
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"kept.tmp"}));
}
