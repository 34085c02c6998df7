// The Settings dialog run from its real template with its real procedure:
// clicks, typed text and keys arrive from inside its modal loop, and the
// results are read from app_state, the speed box and the check marks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_support.h"
#include "ui/dialogs.h"

using namespace ui_test;

namespace {

const std::vector<int> directions = {IDC_LEFT_TO_RIGHT, IDC_TOP_TO_BOTTOM, IDC_STRAIGHT_AT_IT};
const std::vector<int> qualities = {IDC_QUALITY_LOW, IDC_QUALITY_MEDIUM, IDC_QUALITY_HIGH,
                                    IDC_QUALITY_ULTRA};

class settings_dialog : public testing::Test {
protected:
    void SetUp() override
    {
        app_state = app_state_record{};
        app_state.speed_fraction = 0.5f;
        app_state.fly_direction = fly_by_direction::left_to_right;
        app_state.render_quality = quality_level::low;
    }

    dialog_run run(std::vector<dialog_step> steps)
    {
        return run_dialog(IDD_SETTINGS, settings_dialog_proc, std::move(steps));
    }

    // Opens the dialog, records what it shows, and cancels.
    std::string shown_speed()
    {
        std::string shown;
        run({[&](HWND d) { shown = item_text(d, IDC_SPEED); }, [](HWND d) { click(d, IDCANCEL); }});
        return shown;
    }

    // Types text, presses "Apply" and reports the run; boxes are recorded.
    dialog_run apply_typed(const std::string& text)
    {
        return run({[&](HWND d) { type_text(d, IDC_SPEED, text); },
                    [](HWND d) { click(d, IDOK); }});
    }

    platform_recorder recorder;
};

TEST_F(settings_dialog, opens_with_the_start_values)
{
    std::string speed;
    std::vector<int> on;
    dialog_run r = run({[&](HWND d) {
                            speed = item_text(d, IDC_SPEED);
                            on = checked(d, directions);
                        },
                        [](HWND d) { click(d, IDCANCEL); }});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(speed, "50.00");
    EXPECT_EQ(on, std::vector<int>{IDC_LEFT_TO_RIGHT});
}

TEST_F(settings_dialog, opens_with_the_held_direction_only)
{
    app_state.fly_direction = fly_by_direction::straight_at_it;
    app_state.speed_fraction = 0.123456f;
    std::vector<int> on;
    std::string speed;
    run({[&](HWND d) {
             on = checked(d, directions);
             speed = item_text(d, IDC_SPEED);
         },
         [](HWND d) { click(d, IDCANCEL); }});
    EXPECT_EQ(on, std::vector<int>{IDC_STRAIGHT_AT_IT});
    EXPECT_EQ(speed, "12.35");
}

TEST_F(settings_dialog, faster_steps_to_95_then_holds_99)
{
    std::vector<std::string> shown;
    std::vector<dialog_step> steps;
    for (int i = 0; i < 12; ++i) {
        steps.push_back([&](HWND d) {
            click(d, IDC_FASTER);
            shown.push_back(item_text(d, IDC_SPEED));
        });
    }
    steps.push_back([](HWND d) { click(d, IDCANCEL); });
    dialog_run r = run(steps);

    const std::vector<std::string> expected = {"55.00", "60.00", "65.00", "70.00", "75.00", "80.00",
                                               "85.00", "90.00", "95.00", "99.00", "99.00", "99.00"};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(app_state.speed_fraction, 0.99f);
    EXPECT_EQ(r.result, 0) << "Cancel keeps what Faster stored";
}

TEST_F(settings_dialog, slower_from_99_reaches_4_then_holds_0)
{
    app_state.speed_fraction = 0.99f;
    std::vector<std::string> shown;
    std::vector<dialog_step> steps;
    for (int i = 0; i < 22; ++i) {
        steps.push_back([&](HWND d) {
            click(d, IDC_SLOWER);
            shown.push_back(item_text(d, IDC_SPEED));
        });
    }
    steps.push_back([](HWND d) { click(d, IDCANCEL); });
    run(steps);

    ASSERT_EQ(shown.size(), 22u);
    EXPECT_EQ(shown[0], "94.00");
    EXPECT_EQ(shown[1], "89.00");
    EXPECT_EQ(shown[17], "9.00");
    EXPECT_EQ(shown[18], "4.00");
    EXPECT_EQ(shown[19], "0.00");
    EXPECT_EQ(shown[20], "0.00");
    EXPECT_EQ(shown[21], "0.00");
    EXPECT_EQ(app_state.speed_fraction, 0.0f);
}

TEST_F(settings_dialog, speed_steps_start_from_a_typed_value_and_overwrite_typed_text)
{
    app_state.speed_fraction = 0.3333f;
    std::string after_faster;
    run({[](HWND d) { type_text(d, IDC_SPEED, "12"); },
         [&](HWND d) {
             click(d, IDC_FASTER);
             after_faster = item_text(d, IDC_SPEED);
         },
         [](HWND d) { click(d, IDCANCEL); }});
    // 0.3333 + 0.05, not snapped to a multiple of 5 %, and the typed 12 gone.
    EXPECT_EQ(after_faster, "38.33");
    EXPECT_EQ(app_state.speed_fraction, static_cast<float>(static_cast<double>(0.3333f) + 0.05));
}

TEST_F(settings_dialog, apply_takes_a_typed_percentage_and_closes_without_render)
{
    dialog_run r = apply_typed("75");
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(app_state.speed_fraction, 0.75f);
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(shown_speed(), "75.00");
}

TEST_F(settings_dialog, apply_reads_a_whole_number_with_a_decimal_point_or_comma)
{
    // The percentage each text stands for: blanks around it and a "%" after
    // it allowed, a decimal comma read as a decimal point.
    struct typed_case {
        const char* text;
        double percent;
    };
    const typed_case cases[] = {
        {"  50%", 50.0}, {"+40", 40.0}, {".5", 0.5}, {"1e1", 10.0}, {"33.", 33.0},
        {"45,5", 45.5},  {" 7,25 % ", 7.25}, {",5", 0.5}, {"1,5e1", 15.0},
    };
    for (const typed_case& c : cases) {
        app_state.speed_fraction = 0.25f;
        dialog_run r = apply_typed(c.text);
        EXPECT_EQ(r.result, 0) << '"' << c.text << '"';
        EXPECT_EQ(app_state.speed_fraction, static_cast<float>(c.percent / 100.0)) << '"' << c.text << '"';
    }
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(shown_speed(), "15.00");
}

TEST_F(settings_dialog, apply_refuses_speeds_outside_0_to_100_or_not_numbers_and_stays_open)
{
    // Out of range, or not a number as a whole: the same box.
    const char* refused[] = {"100", "-5",  "99.999999", "150",     "-0.0001", "1e999", "abc",
                             "",    "12abc", "0x20",    "inf",     "nan",     "7 5",   "12.5e0x",
                             "1,2,3", "4.5,5", "1e", "%", "-", "50%%"};
    const std::string error_text =
        "Error: The speed settings must be between 0% and 100%\n\n"
        "0% means completely stopped, and 100% means the speed of light.\n\n"
        "50% for example, would mean half the speed of light.\n\n"
        "Good numbers to type into this box are between 50 - 95.";
    for (const char* text : refused) {
        recorder.boxes.clear();
        app_state.speed_fraction = 0.5f;
        HWND dialog_window = nullptr;
        std::string left_in_box;
        dialog_run r = run({[&](HWND d) {
                                dialog_window = d;
                                type_text(d, IDC_SPEED, text);
                            },
                            [](HWND d) { click(d, IDOK); },
                            [&](HWND d) { left_in_box = item_text(d, IDC_SPEED); }});
        EXPECT_EQ(r.result, still_open) << text;
        EXPECT_EQ(r.steps_run, 3) << text;
        EXPECT_EQ(left_in_box, text);
        EXPECT_EQ(app_state.speed_fraction, 0.5f) << text;
        ASSERT_EQ(recorder.boxes.size(), 1u) << text;
        EXPECT_EQ(recorder.boxes[0].owner, dialog_window);
        EXPECT_EQ(recorder.boxes[0].text, error_text);
        EXPECT_EQ(recorder.boxes[0].caption, "Error");
        EXPECT_EQ(recorder.boxes[0].type, static_cast<UINT>(MB_ICONERROR | MB_OK));
    }
}

TEST_F(settings_dialog, apply_takes_99_99999_which_stays_below_one_in_single_precision)
{
    dialog_run r = apply_typed("99.99999");
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_LT(app_state.speed_fraction, 1.0f);
    EXPECT_EQ(app_state.speed_fraction, static_cast<float>(0.9999999));
    EXPECT_EQ(shown_speed(), "100.00");
}

TEST_F(settings_dialog, a_refused_value_can_be_corrected_and_applied)
{
    dialog_run r = run({[](HWND d) { type_text(d, IDC_SPEED, "120"); },
                        [](HWND d) { click(d, IDOK); },
                        [](HWND d) { type_text(d, IDC_SPEED, "80"); },
                        [](HWND d) { click(d, IDOK); }});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.steps_run, 4);
    EXPECT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(app_state.speed_fraction, 0.8f);
}

TEST_F(settings_dialog, enter_in_the_speed_box_applies)
{
    dialog_run r = run({[](HWND d) { type_text(d, IDC_SPEED, "62.5"); },
                        [](HWND d) { press_key(d, VK_RETURN); }});
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.steps_run, 2);
    EXPECT_EQ(app_state.speed_fraction, 0.625f);
}

TEST_F(settings_dialog, render_it_returns_1_and_drops_typed_text)
{
    dialog_run r = run({[](HWND d) { type_text(d, IDC_SPEED, "75"); },
                        [](HWND d) { click(d, IDC_RENDER_IT); }});
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(app_state.speed_fraction, 0.5f);
    EXPECT_EQ(shown_speed(), "50.00");
}

TEST_F(settings_dialog, render_it_uses_the_speed_that_faster_stored)
{
    dialog_run r = run({[](HWND d) { click(d, IDC_FASTER); },
                        [](HWND d) { type_text(d, IDC_SPEED, "10"); },
                        [](HWND d) { click(d, IDC_RENDER_IT); }});
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(app_state.speed_fraction, 0.55f);
}

TEST_F(settings_dialog, cancel_escape_and_close_box_end_with_0_and_undo_nothing)
{
    const std::vector<dialog_step> closers = {
        [](HWND d) { click(d, IDCANCEL); },
        [](HWND d) { press_key(d, VK_ESCAPE); },
        [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (std::size_t i = 0; i < closers.size(); ++i) {
        SetUp();
        dialog_run r = run({[](HWND d) { click(d, IDC_STRAIGHT_AT_IT); },
                            [](HWND d) { click(d, IDC_SLOWER); },
                            [](HWND d) { type_text(d, IDC_SPEED, "75"); }, closers[i]});
        EXPECT_EQ(r.result, 0) << "closer " << i;
        EXPECT_EQ(r.steps_run, 4) << "closer " << i;
        EXPECT_EQ(app_state.fly_direction, fly_by_direction::straight_at_it) << "closer " << i;
        EXPECT_EQ(app_state.speed_fraction, 0.45f) << "closer " << i;
    }
}

TEST_F(settings_dialog, direction_clicks_write_the_state_and_set_every_check_mark)
{
    std::vector<std::vector<int>> seen;
    std::vector<int> stored;
    auto record = [&](HWND d) {
        seen.push_back(checked(d, directions));
        stored.push_back(static_cast<int>(app_state.fly_direction));
    };
    run({[&](HWND d) { click(d, IDC_TOP_TO_BOTTOM); record(d); },
         [&](HWND d) { click(d, IDC_STRAIGHT_AT_IT); record(d); },
         // A bare command, without the button's own automatic check, must
         // still leave exactly one mark on.
         [&](HWND d) { command(d, IDC_LEFT_TO_RIGHT); record(d); },
         [&](HWND d) { command(d, IDC_TOP_TO_BOTTOM); record(d); },
         [](HWND d) { click(d, IDCANCEL); }});
    const std::vector<std::vector<int>> expected = {
        {IDC_TOP_TO_BOTTOM}, {IDC_STRAIGHT_AT_IT}, {IDC_LEFT_TO_RIGHT}, {IDC_TOP_TO_BOTTOM}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(stored, (std::vector<int>{1, 2, 0, 1}));
}

TEST_F(settings_dialog, unhandled_commands_and_edit_notifications_change_nothing)
{
    std::string speed;
    dialog_run r = run({[](HWND d) {
                            SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDC_SPEED, EN_CHANGE),
                                         reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_SPEED)));
                            SendMessageA(d, WM_COMMAND, MAKEWPARAM(4242, BN_CLICKED), 0);
                        },
                        [&](HWND d) { speed = item_text(d, IDC_SPEED); }});
    EXPECT_EQ(r.result, still_open);
    EXPECT_EQ(speed, "50.00");
    EXPECT_EQ(app_state.speed_fraction, 0.5f);
    EXPECT_EQ(app_state.fly_direction, fly_by_direction::left_to_right);
}

TEST_F(settings_dialog, render_quality_button_runs_the_nested_dialog_and_stays_open)
{
    HWND quality = nullptr;
    std::string quality_title;
    std::vector<int> quality_marks;
    dialog_run r = run({[](HWND d) { click(d, IDC_RENDER_QUALITY); },
                        // The following steps run inside the nested dialog's loop.
                        [&](HWND d) {
                            quality = owned_dialog(d);
                            ASSERT_NE(quality, nullptr);
                            char title[64] = {};
                            GetWindowTextA(quality, title, sizeof title);
                            quality_title = title;
                            click(quality, IDC_QUALITY_ULTRA);
                            quality_marks = checked(quality, qualities);
                        },
                        [&](HWND) { click(quality, IDCANCEL); },
                        [&](HWND d) { EXPECT_EQ(owned_dialog(d), nullptr); },
                        [](HWND d) { click(d, IDC_RENDER_IT); }});
    EXPECT_EQ(quality_title, "Render Quality");
    EXPECT_EQ(quality_marks, std::vector<int>{IDC_QUALITY_ULTRA});
    EXPECT_EQ(r.steps_run, 5);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(app_state.render_quality, quality_level::ultra) << "the nested Cancel keeps the clicked quality";
}

}  // namespace
