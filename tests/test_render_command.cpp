// lumirun-render writes what the viewer's "Save As..." writes after the same
// open, settings and click, for every picture both read (a phone photo on
// its side and in Display P3, a PNG file) and every quality the viewer
// offers ("Smooth (no gaps)" too).
#include <gtest/gtest.h>

#include <lcms2.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "pipeline/picture_job.h"
#include "cli/render_options.h"
#include "image/jpeg_file.h"
#include "image/png_file.h"
#include "image/raster.h"
#include "tests/jpeg_test_support.h"
#include "tests/test_support.h"

using namespace test_support;

namespace {

// A user who opens one file, sets the settings in the dialog, and saves
// under one name.
class viewer_user : public ui_services {
public:
    bool choose_open_file(char* path) override { return copy(open_choice, path); }
    bool choose_save_file(char* path) override { return copy(save_choice, path); }
    std::int32_t run_settings_dialog() override
    {
        app_state.speed_fraction = speed;
        app_state.fly_direction = static_cast<fly_by_direction>(direction);
        app_state.render_quality = static_cast<quality_level>(quality);
        return dialog_result;
    }
    void show_error_box(const char* text, const char*) override { errors.emplace_back(text); }
    void update_scroll_bars() override {}
    void request_repaint() override {}
    void shut_down() override {}

    std::string open_choice;
    std::string save_choice;
    float speed = 0.5f;
    std::int32_t direction = 0;
    std::int32_t quality = 1;
    std::int32_t dialog_result = 0;
    std::vector<std::string> errors;

private:
    static bool copy(const std::string& choice, char* path)
    {
        if (choice.size() >= static_cast<std::size_t>(path_buffer_size))
            return false;
        std::memcpy(path, choice.c_str(), choice.size() + 1);
        return true;
    }
};

struct session {
    const char* speed_text;  // as typed in the dialog and given to --speed
    std::int32_t direction;
    std::int32_t quality;  // 1 to 4, or 5: "Smooth (no gaps)", --quality smooth
    bool click;
    std::int32_t x;
    std::int32_t y;
    int input = 0;  // of the inputs below
};

// A Display P3 profile (D65, the P3 primaries, sRGB's tone curve), as
// tests/make_profile.cpp makes it.
bytes display_p3_profile()
{
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
    const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgb);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    bytes data(size);
    cmsSaveProfileToMem(profile, data.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    return data;
}

// A marker segment: FF, the marker, the length (its own two bytes too), data.
bytes segment(unsigned char marker, const bytes& data)
{
    const std::size_t length = data.size() + 2;
    bytes out(data.size() + 4);
    out[0] = 0xFF;
    out[1] = marker;
    out[2] = static_cast<unsigned char>(length >> 8);
    out[3] = static_cast<unsigned char>(length);
    std::copy(data.begin(), data.end(), out.begin() + 4);
    return out;
}

// A phone photo as a phone stores it: 40 by 24 pixels that are to be turned
// a quarter clockwise (Exif orientation 6), in Display P3.
void write_phone_photo(const std::string& path)
{
    const std::string plain = path + ".plain";
    ASSERT_EQ(write_jpeg_file(plain.c_str(), gradient_picture(40, 24), 95).result, 0);
    bytes jpeg = read_file(plain);
    const bytes exif = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                        0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    bytes icc = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
    const bytes profile = display_p3_profile();
    icc.insert(icc.end(), profile.begin(), profile.end());
    bytes segments = segment(0xE1, exif);
    const bytes app2 = segment(0xE2, icc);
    segments.insert(segments.end(), app2.begin(), app2.end());
    jpeg.insert(jpeg.begin() + 2, segments.begin(), segments.end());  // after SOI
    write_file(path, jpeg);
}

void write_png_picture(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::string reason;
    EXPECT_TRUE(write_png(file, gradient_picture(36, 20), &reason)) << reason;
    std::fclose(file);
}

}  // namespace

TEST(render_command, WritesTheBytesThatSaveAsWritesAfterTheSameSession)
{
    temp_folder folder;
    const std::vector<std::string> inputs = {jpeg_test_image("testorig.jpg"), folder.path("phone.jpg"),
                                             folder.path("picture.png")};
    ASSERT_TRUE(file_exists(inputs[0])) << inputs[0];
    write_phone_photo(inputs[1]);
    write_png_picture(inputs[2]);
    ui_recorder quiet;

    const std::vector<session> sessions = {
        {"50", 0, 1, false, 0, 0},         // open and save
        {"90", 1, 2, false, 0, 0},         // settings, then "Render It"
        {"99.99", 0, 1, true, 180, 30},    // settings, then a click
        {"75", 2, 3, true, 40, 100},
        {"80", 0, 5, false, 0, 0},         // "Smooth (no gaps)"
        {"60", 1, 5, true, 10, 20},
        {"50", 0, 1, false, 0, 0, 1},      // the phone photo: upright, in sRGB
        {"85", 2, 5, true, 12, 30, 1},
        {"70", 1, 2, true, 5, 5, 2},       // a PNG file
    };
    for (const session& s : sessions) {
        SCOPED_TRACE(std::string(s.speed_text) + "% direction " + std::to_string(s.direction) + " quality "
                     + std::to_string(s.quality) + " input " + std::to_string(s.input));
        const std::string& input = inputs[static_cast<std::size_t>(s.input)];
        reset_core_state();
        float speed = 0.0f;
        ASSERT_TRUE(parse_speed_percent(s.speed_text, &speed));

        viewer_user user;
        user.open_choice = input;
        user.save_choice = folder.path("viewer.jpg");
        user.speed = speed;
        user.direction = s.direction;
        user.quality = s.quality;
        user.dialog_result = s.click ? 0 : 1;
        init_app_state();
        open_picture(user);
        edit_settings(user);
        if (s.input == 1) {
            EXPECT_EQ(source_image.width, 24);
            EXPECT_EQ(source_image.height, 40);
        }
        if (s.click)
            place_observer(user, s.x, s.y);
        const std::string viewer_raster = raster_digest(rendered_image);
        save_picture_as(user);
        ASSERT_TRUE(user.errors.empty());

        reset_core_state();
        render_options options;
        options.input = input;
        options.output = folder.path("command.jpg");
        options.speed_fraction = speed;
        options.direction = s.direction;
        options.quality = s.quality;
        if (s.quality == static_cast<std::int32_t>(smooth_quality))
            options.method = render_method::smooth;
        options.observer_given = s.click;
        options.observer_x = s.x;
        options.observer_y = s.y;
        std::vector<std::string> messages;
        ASSERT_EQ(render_file(options, nullptr, &messages), 0) << messages.size();

        const bytes written = read_file(folder.path("command.jpg"));
        EXPECT_FALSE(written.empty());
        EXPECT_EQ(written, read_file(folder.path("viewer.jpg")));
        EXPECT_NE(viewer_raster, "absent");
    }
}

TEST(render_command, FailuresSayWhatTheViewersBoxesSayThenNameTheFile)
{
    temp_folder folder;
    render_options options;
    options.input = folder.path("missing.jpg");
    options.output = folder.path("out.jpg");
    std::vector<std::string> messages;
    EXPECT_EQ(render_file(options, nullptr, &messages), 1);
    // The box's sentence with the system's reason: a missing file, a folder.
    EXPECT_EQ(messages, (std::vector<std::string>{"Error: Can't open file " + options.input + " for reading: "
                                                      + std::strerror(ENOENT) + ".",
                                                  "Error opening file " + options.input + "."}));
    messages.clear();
    options.input = folder.path("a folder");
    ASSERT_TRUE(std::filesystem::create_directory(options.input));
    EXPECT_EQ(render_file(options, nullptr, &messages), 1);
    EXPECT_EQ(messages, (std::vector<std::string>{"Error: Can't open file " + options.input + " for reading: "
                                                      + std::strerror(EISDIR) + ".",
                                                  "Error opening file " + options.input + "."}));
    std::filesystem::remove(options.input);

    messages.clear();
    options.input = jpeg_test_image("testorig.jpg");
    options.output = folder.path("no folder") + "/out.jpg";
    EXPECT_EQ(render_file(options, nullptr, &messages), 1);
    ASSERT_EQ(messages.size(), 2u);
    const std::string start = "Error: Can't open file " + options.output + " for writing: ";
    EXPECT_EQ(messages[0].compare(0, start.size(), start), 0) << messages[0];  // then the system's reason
    EXPECT_EQ(messages[1], "Error saving file " + options.output + ".");
    EXPECT_TRUE(folder.entries().empty());
}
