#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/picture_files.h"
#include "app/alert.h"
#include "image/jpeg_file.h"
#include "image/raster.h"
#include "render/observer.h"
#include "render/renderer.h"
#include "tests/jpeg_test_support.h"
#include "tests/test_support.h"

using test_support::raster_digest;

namespace {

std::vector<std::string>* call_log = nullptr;

void log_warning(const char* text, const char* caption)
{
    if (call_log)
        call_log->push_back(std::string("warning_box ") + caption + " " + text);
}

// A user interface that answers from a script and logs every call in order.
class scripted_ui : public ui_services {
public:
    scripted_ui()
    {
        call_log = &calls;
        set_warning_box_handler(log_warning);
    }
    ~scripted_ui() override
    {
        call_log = nullptr;
        set_warning_box_handler(nullptr);
    }
    scripted_ui(const scripted_ui&) = delete;
    scripted_ui& operator=(const scripted_ui&) = delete;

    bool choose_open_file(char* path) override
    {
        calls.push_back("choose_open_file");
        return choose(open_choice, path);
    }
    bool choose_save_file(char* path) override
    {
        calls.push_back("choose_save_file");
        return choose(save_choice, path);
    }
    std::int32_t run_settings_dialog() override
    {
        calls.push_back("run_settings_dialog");
        if (dialog_speed >= 0.0f)
            app_state.speed_fraction = dialog_speed;
        if (dialog_direction >= 0)
            app_state.fly_direction = static_cast<fly_by_direction>(dialog_direction);
        if (dialog_quality >= 0)
            app_state.render_quality = static_cast<quality_level>(dialog_quality);
        return dialog_result;
    }
    void show_error_box(const char* text, const char* caption) override
    {
        calls.push_back(std::string("error_box ") + caption + " " + text);
    }
    void update_scroll_bars() override { calls.push_back("update_scroll_bars"); }
    void request_repaint() override { calls.push_back("request_repaint"); }
    void shut_down() override { calls.push_back("shut_down"); }

    std::vector<std::string> calls;
    std::string open_choice;  // empty: the user cancels
    std::string save_choice;
    std::int32_t dialog_result = 0;
    float dialog_speed = -1.0f;
    std::int32_t dialog_direction = -1;
    std::int32_t dialog_quality = -1;

private:
    static bool choose(const std::string& choice, char* path)
    {
        if (choice.empty())
            return false;
        std::snprintf(path, path_buffer_size, "%s", choice.c_str());
        return true;
    }
};

// One private folder for the files these tests write, removed at exit.
std::string temp_path(const std::string& name)
{
    static const test_support::temp_folder folder;
    return folder.path(name);
}

// A real JPEG file of the given size, written by the program's own writer
// from an "F" picture.
std::string make_jpeg(const char* name, std::int32_t width, std::int32_t height)
{
    const std::string path = temp_path(name);
    test_support::reset_core_state();
    std::int32_t rounded = 0;
    round_width_to_4(width, &rounded);
    test_support::make_f_picture(rounded, height);
    rendered_image = allocate_raster(rounded, height);
    std::memcpy(rendered_image.pixels.get(), source_image.pixels.get(),
                static_cast<std::size_t>(rounded) * height * 3);
    EXPECT_EQ(save_picture(path.c_str()), 0);
    test_support::reset_core_state();
    return path;
}

class Commands : public testing::Test {
protected:
    void SetUp() override
    {
        test_support::reset_core_state();
        app_state = app_state_record{};
        std::memset(open_path, 0, sizeof open_path);
        std::memset(save_path, 0, sizeof save_path);
        init_app_state();
    }
    void TearDown() override { free_images(); }
};

// What opening renders: the defaults, the observer at the left edge half-way down.
std::string default_render_digest()
{
    set_observer(0, source_height() / 2);
    render_relativistic(test_support::direction(0), 0.5, test_support::quality(1));
    return raster_digest(rendered_image);
}

}  // namespace

TEST_F(Commands, InitialStateIsTheDefaults)
{
    EXPECT_EQ(app_state.speed_fraction, 0.5f);
    EXPECT_EQ(app_state.fly_direction, fly_by_direction::left_to_right);
    EXPECT_EQ(app_state.render_quality, quality_level::low);
    EXPECT_EQ(app_state.view_mode, view_choice::original);
    EXPECT_EQ(app_state.show_intro, 1);
    EXPECT_EQ(observer.observer_x, 0.0);
    EXPECT_EQ(observer.observer_y, 100.0);
}

TEST_F(Commands, OpenRendersWithDefaultsFromTheLeftEdgeHalfWayDown)
{
    const std::string seven = make_jpeg("seven.jpg", 13, 7);
    scripted_ui ui;
    ui.open_choice = seven;
    // Settings applied before the open are discarded by it.
    app_state.speed_fraction = 0.8f;
    app_state.fly_direction = fly_by_direction::straight_at_it;
    app_state.render_quality = quality_level::high;
    open_picture(ui);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"choose_open_file", "update_scroll_bars", "request_repaint"}));
    EXPECT_STREQ(open_path, seven.c_str());
    EXPECT_EQ(source_width(), 16);
    EXPECT_EQ(source_height(), 7);
    EXPECT_EQ(observer.observer_x, 0.0);
    EXPECT_EQ(observer.observer_y, 3.0);
    EXPECT_EQ(app_state.speed_fraction, 0.5f);
    EXPECT_EQ(app_state.fly_direction, fly_by_direction::left_to_right);
    EXPECT_EQ(app_state.render_quality, quality_level::low);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    EXPECT_EQ(app_state.show_intro, 0);
    const std::string rendered = raster_digest(rendered_image);
    EXPECT_EQ(rendered, default_render_digest());

    ui.open_choice = make_jpeg("tall.jpg", 8, 600);
    open_picture(ui);
    EXPECT_EQ(observer.observer_y, 300.0);
}

TEST_F(Commands, OpenByPathDoesWhatTheChooserOpenDoesAndRefusesAPathTooLong)
{
    const std::string seven = make_jpeg("named on the command line.jpg", 13, 7);
    scripted_ui ui;
    app_state.speed_fraction = 0.8f;
    open_picture_file(ui, seven.c_str());
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"update_scroll_bars", "request_repaint"}));
    EXPECT_STREQ(open_path, seven.c_str());
    EXPECT_EQ(observer.observer_y, 3.0);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    EXPECT_EQ(app_state.show_intro, 0);
    const std::string rendered = raster_digest(rendered_image);
    EXPECT_EQ(rendered, default_render_digest());

    // 260 characters do not fit the 260-byte buffer with its terminator.
    const std::string too_long = temp_path(std::string(260, 'x'));
    ui.calls.clear();
    open_picture_file(ui, too_long.c_str());
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"error_box Error Error opening file " + too_long + ".",
                                                  "update_scroll_bars", "request_repaint"}));
    EXPECT_STREQ(open_path, seven.c_str());
    EXPECT_FALSE(source_image.pixels);
    EXPECT_EQ(app_state.view_mode, view_choice::original);
}

TEST_F(Commands, CancelledOpenReleasesThePictureAndKeepsTheRest)
{
    scripted_ui ui;
    ui.open_choice = make_jpeg("cancel.jpg", 20, 9);
    open_picture(ui);
    ASSERT_TRUE(rendered_image.pixels);
    app_state.speed_fraction = 0.75f;
    ui.calls.clear();
    ui.open_choice.clear();
    open_picture(ui);
    // The window is told at once: it must not go on showing the released picture.
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"choose_open_file", "update_scroll_bars", "request_repaint"}));
    EXPECT_FALSE(source_image.pixels);
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_EQ(app_state.view_mode, view_choice::original);
    EXPECT_EQ(app_state.show_intro, 0);
    EXPECT_EQ(app_state.speed_fraction, 0.75f);
    EXPECT_EQ(observer.observer_x, 0.0);
    EXPECT_EQ(observer.observer_y, 100.0);

    // A click or "Render It" now has no pixels to draw from: nothing happens.
    ui.calls.clear();
    place_observer(ui, 5, 5);
    ui.dialog_result = 1;
    edit_settings(ui);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"run_settings_dialog"});
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_EQ(app_state.view_mode, view_choice::original);
}

TEST_F(Commands, FailedOpensShowTheirBoxesInOrder)
{
    scripted_ui ui;
    const std::string missing = temp_path("no such picture.jpg");
    ui.open_choice = missing;
    open_picture(ui);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{
                            "choose_open_file",
                            "warning_box Error! Error: Can't open file " + missing + " for reading.",
                            "error_box Error Error opening file " + missing + ".",
                            "update_scroll_bars",
                            "request_repaint",
                        }));
    EXPECT_FALSE(source_image.pixels);
    EXPECT_EQ(app_state.view_mode, view_choice::original);
    EXPECT_EQ(app_state.show_intro, 1);

    const std::string text_file = temp_path("not a picture.jpg");
    const std::string text = "This is not a JPEG file.\n";
    test_support::write_file(text_file, test_support::bytes(text.begin(), text.end()));
    ui.calls.clear();
    ui.open_choice = text_file;
    open_picture(ui);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{
                            "choose_open_file",
                            "error_box Error Error opening file " + text_file + ".",
                            "update_scroll_bars",
                            "request_repaint",
                        }));
    EXPECT_FALSE(source_image.pixels);
    EXPECT_FALSE(rendered_image.pixels);
}

TEST_F(Commands, ClickPlacesTheObserverAndShowsTheRelativityVersion)
{
    scripted_ui ui;
    ui.open_choice = make_jpeg("click.jpg", 24, 11);
    open_picture(ui);
    show_original(ui);
    ASSERT_EQ(app_state.view_mode, view_choice::original);
    ui.calls.clear();
    place_observer(ui, 10, 10);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"update_scroll_bars", "request_repaint"}));
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    EXPECT_EQ(observer.observer_x, 10.0);
    EXPECT_EQ(observer.observer_y, 10.0);
    const std::string clicked = raster_digest(rendered_image);
    set_observer(10, 10);
    render_relativistic(test_support::direction(0), 0.5, test_support::quality(1));
    EXPECT_EQ(raster_digest(rendered_image), clicked);
}

TEST_F(Commands, ViewCommandsNeverRender)
{
    scripted_ui ui;
    ui.open_choice = make_jpeg("views.jpg", 16, 9);
    open_picture(ui);
    const unsigned char* buffer = rendered_image.pixels.get();
    const std::string rendered = raster_digest(rendered_image);
    ui.calls.clear();
    show_original(ui);
    show_original(ui);
    EXPECT_EQ(app_state.view_mode, view_choice::original);
    show_relativity_version(ui);
    show_relativity_version(ui);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    EXPECT_EQ(ui.calls.size(), 8u);
    for (std::size_t i = 0; i < ui.calls.size(); i += 2) {
        EXPECT_EQ(ui.calls[i], "update_scroll_bars");
        EXPECT_EQ(ui.calls[i + 1], "request_repaint");
    }
    EXPECT_EQ(rendered_image.pixels.get(), buffer);
    EXPECT_EQ(raster_digest(rendered_image), rendered);
}

TEST_F(Commands, SettingsRenderOnlyAfterRenderIt)
{
    scripted_ui ui;
    ui.open_choice = make_jpeg("settings.jpg", 28, 13);
    open_picture(ui);
    const std::string opened = raster_digest(rendered_image);

    // "Apply": the new speed waits for the next render.
    ui.calls.clear();
    ui.dialog_result = 0;
    ui.dialog_speed = 0.8f;
    edit_settings(ui);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"run_settings_dialog"});
    EXPECT_EQ(app_state.speed_fraction, 0.8f);
    EXPECT_EQ(raster_digest(rendered_image), opened);

    // "Render It" from the original view: renders and repaints, no scroll-bar update.
    show_original(ui);
    ui.calls.clear();
    ui.dialog_result = 1;
    ui.dialog_direction = 1;
    ui.dialog_quality = 2;
    edit_settings(ui);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"run_settings_dialog", "request_repaint"}));
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    const std::string rerendered = raster_digest(rendered_image);
    render_relativistic(test_support::direction(1), static_cast<double>(0.8f), test_support::quality(2));
    EXPECT_EQ(raster_digest(rendered_image), rerendered);
}

TEST_F(Commands, SaveWritesTheRenderedPictureAndReportsFailures)
{
    scripted_ui ui;
    // Nothing rendered yet: a clear message, no chooser, no file.
    save_picture_as(ui);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].rfind("error_box Error ", 0), 0u);

    ui.open_choice = make_jpeg("save source.jpg", 33, 17);
    open_picture(ui);
    const std::string rendered = raster_digest(rendered_image);
    const std::int32_t width = rendered_width();
    const std::int32_t height = rendered_height();

    const std::string target = temp_path("saved.jpg");
    std::remove(target.c_str());
    ui.calls.clear();
    ui.save_choice.clear();
    save_picture_as(ui);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"choose_save_file"});
    EXPECT_FALSE(test_support::file_exists(target));

    ui.calls.clear();
    ui.save_choice = target;
    save_picture_as(ui);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"choose_save_file"});
    EXPECT_EQ(raster_digest(rendered_image), rendered);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    free_images();
    ASSERT_EQ(load_picture(target.c_str()), 0);
    EXPECT_EQ(source_width(), width);
    EXPECT_EQ(source_height(), height);

    // A name that cannot be created: the writer's box, then the command's.
    ui.open_choice = make_jpeg("save again.jpg", 12, 5);
    open_picture(ui);
    const std::string bad = temp_path("no such folder/out.jpg");
    ui.calls.clear();
    ui.save_choice = bad;
    save_picture_as(ui);
    ASSERT_EQ(ui.calls.size(), 3u);
    EXPECT_EQ(ui.calls[1].rfind("warning_box Error! ", 0), 0u);
    EXPECT_EQ(ui.calls[2], "error_box Error Error opening file " + bad + ".");
}

TEST_F(Commands, QuitShutsDown)
{
    scripted_ui ui;
    quit_program(ui);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"shut_down"});
}
