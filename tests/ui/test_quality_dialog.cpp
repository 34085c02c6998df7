// The Render Quality dialog run from its real template with its real
// procedure.
#include <gtest/gtest.h>

#include <vector>

#include "app/app_state.h"
#include "resources/resource_ids.h"
#include "tests/ui/ui_support.h"
#include "ui/dialogs.h"

using namespace ui_test;

namespace {

const std::vector<int> qualities = {IDC_QUALITY_LOW, IDC_QUALITY_MEDIUM, IDC_QUALITY_HIGH,
                                    IDC_QUALITY_ULTRA, IDC_QUALITY_SMOOTH};

class quality_dialog : public testing::Test {
protected:
    void SetUp() override
    {
        app_state = app_state_record{};
        app_state.speed_fraction = 0.5f;
        app_state.render_quality = quality_level::low;
    }

    dialog_run run(std::vector<dialog_step> steps)
    {
        return run_dialog(IDD_RENDER_QUALITY, quality_dialog_proc, std::move(steps));
    }

    std::vector<int> marks_on_opening()
    {
        std::vector<int> on;
        run({[&](HWND d) { on = checked(d, qualities); }, [](HWND d) { click(d, IDCANCEL); }});
        return on;
    }
};

TEST_F(quality_dialog, opens_with_only_the_held_quality_on)
{
    for (int quality = 1; quality <= 5; ++quality) {
        app_state.render_quality = static_cast<quality_level>(quality);
        EXPECT_EQ(marks_on_opening(), std::vector<int>{qualities[quality - 1]}) << quality;
    }
    for (int quality : {0, 6}) {
        app_state.render_quality = static_cast<quality_level>(quality);
        EXPECT_TRUE(marks_on_opening().empty()) << quality;
    }
}

TEST_F(quality_dialog, clicks_write_the_quality_and_leave_one_mark)
{
    std::vector<std::vector<int>> seen;
    std::vector<int> stored;
    auto record = [&](HWND d) {
        seen.push_back(checked(d, qualities));
        stored.push_back(static_cast<int>(app_state.render_quality));
    };
    // High then Ultra-high crosses the label that starts a new radio group,
    // so the buttons' automatic grouping would leave High on as well.
    dialog_run r = run({[&](HWND d) { click(d, IDC_QUALITY_HIGH); record(d); },
                        [&](HWND d) { click(d, IDC_QUALITY_ULTRA); record(d); },
                        [&](HWND d) { click(d, IDC_QUALITY_SMOOTH); record(d); },
                        [&](HWND d) { click(d, IDC_QUALITY_MEDIUM); record(d); },
                        [&](HWND d) { command(d, IDC_QUALITY_SMOOTH); record(d); },
                        [&](HWND d) { command(d, IDC_QUALITY_LOW); record(d); },
                        [&](HWND d) { command(d, IDC_QUALITY_ULTRA); record(d); },
                        [](HWND d) { click(d, IDOK); }});
    const std::vector<std::vector<int>> expected = {{IDC_QUALITY_HIGH}, {IDC_QUALITY_ULTRA},
                                                    {IDC_QUALITY_SMOOTH}, {IDC_QUALITY_MEDIUM},
                                                    {IDC_QUALITY_SMOOTH}, {IDC_QUALITY_LOW},
                                                    {IDC_QUALITY_ULTRA}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(stored, (std::vector<int>{3, 4, 5, 2, 5, 1, 4}));
    EXPECT_EQ(r.result, 1);
}

TEST_F(quality_dialog, ok_and_enter_end_with_1)
{
    EXPECT_EQ(run({[](HWND d) { click(d, IDOK); }}).result, 1);
    EXPECT_EQ(run({[](HWND d) { press_key(d, VK_RETURN); }}).result, 1);
}

TEST_F(quality_dialog, cancel_escape_and_close_box_end_with_0_keeping_the_choice)
{
    const std::vector<dialog_step> closers = {
        [](HWND d) { click(d, IDCANCEL); },
        [](HWND d) { press_key(d, VK_ESCAPE); },
        [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (std::size_t i = 0; i < closers.size(); ++i) {
        app_state.render_quality = quality_level::low;
        dialog_run r = run({[](HWND d) { click(d, IDC_QUALITY_ULTRA); }, closers[i]});
        EXPECT_EQ(r.result, 0) << "closer " << i;
        EXPECT_EQ(r.steps_run, 2) << "closer " << i;
        EXPECT_EQ(app_state.render_quality, quality_level::ultra) << "closer " << i;
    }
}

}  // namespace
