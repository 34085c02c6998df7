// lumirun-render writes what the viewer's "Save As..." writes after the same
// open, settings and click.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "pipeline/picture_job.h"
#include "cli/render_options.h"
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
    std::int32_t quality;
    bool click;
    std::int32_t x;
    std::int32_t y;
};

}  // namespace

TEST(render_command, WritesTheBytesThatSaveAsWritesAfterTheSameSession)
{
    const std::string input = jpeg_test_image("testorig.jpg");
    ASSERT_TRUE(file_exists(input)) << input;
    temp_folder folder;
    ui_recorder quiet;

    const std::vector<session> sessions = {
        {"50", 0, 1, false, 0, 0},         // open and save
        {"90", 1, 2, false, 0, 0},         // settings, then "Render It"
        {"99.99", 0, 1, true, 180, 30},    // settings, then a click
        {"75", 2, 3, true, 40, 100},
    };
    for (const session& s : sessions) {
        SCOPED_TRACE(std::string(s.speed_text) + "% direction " + std::to_string(s.direction));
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
