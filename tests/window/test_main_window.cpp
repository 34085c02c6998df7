// The main window driven in-process: messages sent straight to
// main_window_proc, the platform's modal calls replaced by recorders. Needs a
// display (ctest runs it on the Xvfb of the Windows test step).
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/alert.h"
#include "app/app_state.h"
#include "image/jpeg_file.h"
#include "image/png_file.h"
#include "image/raster.h"
#include "render/observer.h"
#include "app/status.h"
#include "resources/resource_ids.h"
#include "tests/jpeg_test_support.h"
#include "tests/test_support.h"
#include "ui/command_line_file.h"
#include "ui/dialogs.h"
#include "ui/help_about.h"
#include "ui/main_window.h"
#include "ui/platform_calls.h"

namespace {

struct recorded_box {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct recorded_help {
    std::string file;
    UINT command;
};

struct recorded_chooser {
    HWND owner;
    DWORD flags;
    std::string default_extension;
    char* buffer;
    DWORD buffer_size;
};

std::vector<recorded_box> boxes;
std::vector<recorded_help> helps;
std::vector<recorded_chooser> choosers;
std::string next_choice;  // what the next chooser returns; empty: cancelled

int WINAPI record_box(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    boxes.push_back({owner, text, caption, type});
    return IDOK;
}

BOOL WINAPI record_chooser(LPOPENFILENAMEA request)
{
    choosers.push_back({request->hwndOwner, request->Flags,
                        request->lpstrDefExt ? request->lpstrDefExt : "", request->lpstrFile,
                        request->nMaxFile});
    if (next_choice.empty()) return FALSE;
    std::snprintf(request->lpstrFile, request->nMaxFile, "%s", next_choice.c_str());
    return TRUE;
}

BOOL WINAPI record_help(HWND, LPCSTR file, UINT command, ULONG_PTR)
{
    helps.push_back({file, command});
    return TRUE;
}

// GetDC/ReleaseDC as one owned object.
class window_dc {
public:
    explicit window_dc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~window_dc() { ReleaseDC(window_, dc_); }
    window_dc(const window_dc&) = delete;
    window_dc& operator=(const window_dc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

bool bar_shown(HWND window, LONG style_bit)
{
    return (GetWindowLongA(window, GWL_STYLE) & style_bit) != 0;
}

SCROLLINFO scroll_info(HWND window, int bar)
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_POS;
    GetScrollInfo(window, bar, &info);
    return info;
}

std::string status_text()
{
    char text[256] = {};
    SendMessageA(window_state.status_bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

TEST(command_line_file, the_first_argument_after_the_program_by_the_runtime_rules)
{
    const struct {
        const char* line;
        const char* first;
    } cases[] = {
        {R"("C:\Program Files\Lumirun\lumirun.exe" "D:\My Photos\a b.jpg")", R"(D:\My Photos\a b.jpg)"},
        {R"(lumirun.exe D:\photo.jpg second.jpg)", R"(D:\photo.jpg)"},
        {"lumirun.exe\t  photo.jpg  ", "photo.jpg"},
        {R"("lumirun.exe"photo.jpg)", "photo.jpg"},
        {R"(lumirun.exe "D:\My Photos"\a.jpg)", R"(D:\My Photos\a.jpg)"},
        {R"(lumirun.exe D:\"My)", R"(D:"My)"},
        {R"(lumirun.exe "a\\" b)", R"(a\)"},
        {R"(lumirun.exe a\\\"b)", R"(a\"b)"},
        {R"(lumirun.exe C:\dir\\file.jpg)", R"(C:\dir\\file.jpg)"},
        {"lumirun.exe", ""},
        {R"("C:\x y\lumirun.exe"   )", ""},
        {R"(lumirun.exe "")", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(first_command_line_argument(c.line), c.first) << c.line;
}

class main_window_test : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        app_instance = GetModuleHandleA(nullptr);
        ASSERT_NE(register_main_window_class(app_instance), 0);
    }

    void SetUp() override
    {
        boxes.clear();
        helps.clear();
        choosers.clear();
        next_choice.clear();
        message_box_call = record_box;
        win_help_call = record_help;
        open_file_name_call = record_chooser;
        save_file_name_call = record_chooser;
        connect_core_to_window();
        window_state = main_window_state{};
        test_support::reset_core_state();  // no sizes left over from the last test either
        window = create_main_window(app_instance);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOWNORMAL);
        set_client_size(400, 300);
        pump();
    }

    void TearDown() override
    {
        if (IsWindow(window)) DestroyWindow(window);
        pump();
        free_images();
        set_status_sink(nullptr);
        set_warning_box_handler(nullptr);
        message_box_call = MessageBoxA;
        win_help_call = WinHelpA;
        open_file_name_call = GetOpenFileNameA;
        save_file_name_call = GetSaveFileNameA;
    }

    // Resizes the window so that its client area, bars hidden, is this big.
    void set_client_size(int width, int height)
    {
        RECT outer{};
        RECT client{};
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + width - client.right,
                     outer.bottom - outer.top + height - client.bottom, SWP_NOZORDER | SWP_NOMOVE);
    }

    // Dispatches what is queued; a quit message is kept aside.
    void pump()
    {
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit_posted = true;
                quit_code = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    LRESULT command(int id) { return SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void hscroll(int code, int position = 0) { SendMessageA(window, WM_HSCROLL, MAKEWPARAM(code, position), 0); }
    void vscroll(int code, int position = 0) { SendMessageA(window, WM_VSCROLL, MAKEWPARAM(code, position), 0); }

    bool repaint_pending() { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }

    HWND window = nullptr;
    bool quit_posted = false;
    WPARAM quit_code = 99;
};

TEST_F(main_window_test, bar_shows_for_a_picture_as_large_as_the_client_area_and_hides_one_pixel_below)
{
    ASSERT_EQ(window_state.client_width, 400);
    ASSERT_EQ(window_state.client_height, 300);
    EXPECT_FALSE(bar_shown(window, WS_HSCROLL));
    EXPECT_FALSE(bar_shown(window, WS_VSCROLL));

    test_support::make_gradient_picture(400, 24);
    command(IDM_ORIGINAL);
    EXPECT_TRUE(bar_shown(window, WS_HSCROLL));
    EXPECT_FALSE(bar_shown(window, WS_VSCROLL));

    window_state.scroll_x = 30;
    set_client_size(401, 300);
    EXPECT_FALSE(bar_shown(window, WS_HSCROLL));
    EXPECT_EQ(window_state.scroll_x, 0);

    test_support::make_gradient_picture(24, 300);
    set_client_size(400, 300);
    command(IDM_ORIGINAL);
    EXPECT_TRUE(bar_shown(window, WS_VSCROLL));
    EXPECT_FALSE(bar_shown(window, WS_HSCROLL));
    window_state.scroll_y = 30;
    set_client_size(400, 301);
    EXPECT_FALSE(bar_shown(window, WS_VSCROLL));
    EXPECT_EQ(window_state.scroll_y, 0);
}

TEST_F(main_window_test, shown_bar_ranges_let_the_thumbs_reach_the_last_column_and_row)
{
    test_support::make_gradient_picture(1200, 900);
    command(IDM_ORIGINAL);
    ASSERT_TRUE(bar_shown(window, WS_HSCROLL));
    ASSERT_TRUE(bar_shown(window, WS_VSCROLL));

    RECT client{};
    GetClientRect(window, &client);
    RECT bar{};
    GetWindowRect(window_state.status_bar, &bar);
    const int visible_height = client.bottom - (bar.bottom - bar.top);
    const SCROLLINFO horizontal = scroll_info(window, SB_HORZ);
    const SCROLLINFO vertical = scroll_info(window, SB_VERT);
    EXPECT_EQ(horizontal.nMin, 0);
    EXPECT_EQ(horizontal.nMax, 1200 - client.right);
    EXPECT_EQ(vertical.nMin, 0);
    EXPECT_EQ(vertical.nMax, 900 - visible_height);

    hscroll(SB_THUMBPOSITION, horizontal.nMax);
    vscroll(SB_THUMBPOSITION, vertical.nMax);
    EXPECT_EQ(window_state.scroll_x, 1200 - client.right);
    EXPECT_EQ(window_state.scroll_y, 900 - visible_height);

    // The thumbs follow the offsets when the bars are fitted again.
    window_state.scroll_x = 123;
    window_state.scroll_y = 45;
    command(IDM_ORIGINAL);
    EXPECT_EQ(GetScrollPos(window, SB_HORZ), 123);
    EXPECT_EQ(GetScrollPos(window, SB_VERT), 45);
}

TEST_F(main_window_test, line_steps_and_the_final_thumb_position_scroll_and_nothing_else_does)
{
    test_support::make_gradient_picture(1200, 900);
    command(IDM_ORIGINAL);
    const int last_column = scroll_info(window, SB_HORZ).nMax;

    window_state.scroll_x = 5;
    hscroll(SB_LINELEFT);
    EXPECT_EQ(window_state.scroll_x, 0);
    for (int i = 0; i < 100; ++i) hscroll(SB_LINERIGHT);
    EXPECT_EQ(window_state.scroll_x, 1000);  // past the picture: no upper limit
    EXPECT_EQ(GetScrollPos(window, SB_HORZ), last_column);
    vscroll(SB_LINEDOWN);
    vscroll(SB_LINEDOWN);
    vscroll(SB_LINEUP);
    EXPECT_EQ(window_state.scroll_y, 10);

    ValidateRect(window, nullptr);
    for (int code : {SB_PAGELEFT, SB_PAGERIGHT, SB_THUMBTRACK, SB_LEFT, SB_RIGHT, SB_ENDSCROLL}) {
        hscroll(code, 77);
        vscroll(code, 77);
    }
    EXPECT_EQ(window_state.scroll_x, 1000);
    EXPECT_EQ(window_state.scroll_y, 10);
    EXPECT_FALSE(repaint_pending());

    vscroll(SB_THUMBPOSITION, 77);
    EXPECT_EQ(window_state.scroll_y, 77);
    EXPECT_TRUE(repaint_pending());
}

TEST_F(main_window_test, paint_draws_the_shown_raster_from_the_scroll_offsets_on_white)
{
    test_support::make_gradient_picture(16, 12);
    command(IDM_ORIGINAL);
    window_state.scroll_x = 3;
    window_state.scroll_y = 2;
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);

    window_dc dc(window);
    auto expected = [](int x, int y) {
        const auto p = test_support::pixel_at(source_image, x, y);
        return RGB(p[2], p[1], p[0]);
    };
    EXPECT_EQ(GetPixel(dc.get(), 0, 0), expected(3, 2));
    EXPECT_EQ(GetPixel(dc.get(), 12, 0), expected(15, 2));
    EXPECT_EQ(GetPixel(dc.get(), 5, 9), expected(8, 11));
    EXPECT_EQ(GetPixel(dc.get(), 13, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc.get(), 0, 10), RGB(255, 255, 255));
}

TEST_F(main_window_test, click_places_the_observer_at_the_last_pointer_position)
{
    test_support::make_gradient_picture(16, 12);
    ASSERT_EQ(app_state.view_mode, view_choice::original);

    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    EXPECT_EQ(observer.observer_x, 0.0);  // no pointer move seen yet
    EXPECT_EQ(observer.observer_y, 0.0);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    EXPECT_TRUE(rendered_image.pixels);

    // The scroll offsets are not added either.
    window_state.scroll_x = 100;
    window_state.scroll_y = 50;
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(7, 9));
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    EXPECT_EQ(observer.observer_x, 7.0);
    EXPECT_EQ(observer.observer_y, 9.0);
}

TEST_F(main_window_test, status_text_reaches_the_bar_until_a_resize_replaces_it)
{
    const HWND first_bar = window_state.status_bar;
    EXPECT_NE(set_status_text("Pass 1/2: 40% done."), 0);
    EXPECT_EQ(status_text(), "Pass 1/2: 40% done.");

    RECT bar{};
    GetWindowRect(first_bar, &bar);
    POINT bottom_left{0, window_state.client_height};
    ClientToScreen(window, &bottom_left);
    EXPECT_EQ(bar.bottom, bottom_left.y);
    EXPECT_EQ(bar.left, bottom_left.x);

    set_client_size(420, 310);
    EXPECT_NE(window_state.status_bar, first_bar);
    EXPECT_FALSE(IsWindow(first_bar));
    EXPECT_EQ(status_text(), "");
}

TEST_F(main_window_test, view_commands_switch_the_raster_and_other_ids_do_nothing)
{
    test_support::make_gradient_picture(16, 12);
    command(IDM_RELATIVITY);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    EXPECT_EQ(command(40001), 0);
    EXPECT_EQ(command(IDC_SPEED), 0);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    command(IDM_ORIGINAL);
    EXPECT_EQ(app_state.view_mode, view_choice::original);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(helps.empty());
}

TEST_F(main_window_test, quit_closes_help_posts_quit_code_0_and_releases_both_rasters)
{
    test_support::make_gradient_picture(16, 12);
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ASSERT_TRUE(rendered_image.pixels);

    command(IDM_QUIT);
    ASSERT_EQ(helps.size(), 1u);
    EXPECT_EQ(helps[0].file, "jpg.hlp");
    EXPECT_EQ(helps[0].command, static_cast<UINT>(HELP_QUIT));
    EXPECT_FALSE(source_image.pixels);
    EXPECT_FALSE(rendered_image.pixels);
    pump();
    EXPECT_TRUE(quit_posted);
    EXPECT_EQ(quit_code, 0u);
}

TEST_F(main_window_test, closing_the_window_shuts_down_the_same_way)
{
    test_support::make_gradient_picture(16, 12);
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    ASSERT_EQ(helps.size(), 1u);
    EXPECT_EQ(helps[0].command, static_cast<UINT>(HELP_QUIT));
    EXPECT_FALSE(source_image.pixels);
    pump();
    EXPECT_TRUE(quit_posted);
    EXPECT_EQ(quit_code, 0u);
}

TEST_F(main_window_test, start_shows_no_picture_and_a_failed_registration_says_windows_nt_is_needed)
{
    EXPECT_EQ(app_state.show_intro, 1);
    EXPECT_EQ(app_state.view_mode, view_choice::original);
    EXPECT_EQ(window_state.scroll_x, 0);

    // The class is registered already, so registering it again fails.
    EXPECT_EQ(run_main_window(app_instance, SW_SHOWNORMAL), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, "This program requires Windows NT!");
    EXPECT_EQ(boxes[0].caption, "Lumirun JPG");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(main_window_test, class_and_every_status_bar_are_made_as_the_window_needs_them)
{
    WNDCLASSA registered{};
    ASSERT_TRUE(GetClassInfoA(app_instance, main_window_name, &registered));
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(registered.cbClsExtra, 0);
    EXPECT_EQ(registered.cbWndExtra, 0);
    // Icons and cursors load shared: the same resource gives the same handle.
    EXPECT_NE(registered.hIcon, nullptr);
    EXPECT_EQ(registered.hIcon, LoadIconA(app_instance, MAKEINTRESOURCEA(IDI_LUMIRUN)));
    EXPECT_EQ(registered.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(registered.hbrBackground, GetStockObject(WHITE_BRUSH));

    // The bar of the last resize, and the one that replaces it.
    for (int resize = 0; resize < 2; ++resize) {
        if (resize == 1) set_client_size(420, 310);
        const HWND bar = window_state.status_bar;
        char class_name[64] = {};
        GetClassNameA(bar, class_name, sizeof class_name);
        EXPECT_STREQ(class_name, STATUSCLASSNAMEA);
        EXPECT_EQ(GetParent(bar), window);
        EXPECT_EQ(GetDlgCtrlID(bar), 1024);
        const LONG wanted = WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM;
        EXPECT_EQ(GetWindowLongA(bar, GWL_STYLE) & wanted, wanted);
    }
}

TEST_F(main_window_test, picture_failures_warn_unowned_and_command_failures_are_errors_the_window_owns)
{
    test_support::temp_folder folder;
    const std::string missing = folder.path("missing.jpg");
    const std::string unwritable = folder.path("no folder") + "\\out.jpg";
    next_choice = missing;
    command(IDM_OPEN);
    test_support::make_gradient_picture(16, 12);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ASSERT_TRUE(rendered_image.pixels);
    next_choice = unwritable;
    command(IDM_SAVE_AS);

    // The reader's box and the open command's, then the writer's and the
    // save command's.
    ASSERT_EQ(boxes.size(), 4u);
    for (int i : {0, 2}) {
        EXPECT_EQ(boxes[i].owner, nullptr) << i;
        EXPECT_EQ(boxes[i].caption, "Error!") << i;
        EXPECT_EQ(boxes[i].type, static_cast<UINT>(MB_OK | MB_ICONWARNING)) << i;
    }
    for (int i : {1, 3}) {
        EXPECT_EQ(boxes[i].owner, window) << i;
        EXPECT_EQ(boxes[i].caption, "Error") << i;
        EXPECT_EQ(boxes[i].type, static_cast<UINT>(MB_OK | MB_ICONERROR)) << i;
    }
    EXPECT_EQ(boxes[1].text, "Error opening file " + missing + ".");
    EXPECT_EQ(boxes[3].text, "Error opening file " + unwritable + ".");
    ASSERT_EQ(choosers.size(), 2u);
    EXPECT_EQ(choosers[1].flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT));
    EXPECT_EQ(choosers[1].buffer, save_path);
}

TEST_F(main_window_test, a_second_open_keeps_the_scroll_offsets_where_the_new_picture_does_not_fit)
{
    test_support::temp_folder folder;
    const std::string large = folder.path("large.jpg");
    const std::string wide = folder.path("wide.jpg");
    ASSERT_EQ(write_jpeg_file(large.c_str(), test_support::gradient_picture(800, 600), 90).result, 0);
    ASSERT_EQ(write_jpeg_file(wide.c_str(), test_support::gradient_picture(800, 16), 90).result, 0);

    next_choice = large;
    command(IDM_OPEN);
    ASSERT_EQ(app_state.view_mode, view_choice::relativity_version);
    ASSERT_TRUE(bar_shown(window, WS_HSCROLL));
    ASSERT_TRUE(bar_shown(window, WS_VSCROLL));
    hscroll(SB_THUMBPOSITION, 40);
    vscroll(SB_THUMBPOSITION, 30);

    command(IDM_OPEN);
    EXPECT_EQ(window_state.scroll_x, 40);
    EXPECT_EQ(window_state.scroll_y, 30);
    EXPECT_EQ(GetScrollPos(window, SB_HORZ), 40);
    EXPECT_EQ(GetScrollPos(window, SB_VERT), 30);

    // Only the extent that now fits goes back to 0.
    next_choice = wide;
    command(IDM_OPEN);
    ASSERT_GE(rendered_image.width, window_state.client_width);
    ASSERT_LT(rendered_image.height, window_state.client_height);
    EXPECT_EQ(window_state.scroll_x, 40);
    EXPECT_EQ(window_state.scroll_y, 0);
    EXPECT_FALSE(bar_shown(window, WS_VSCROLL));
    EXPECT_TRUE(boxes.empty());

    // Every open asked the same: no read-only box, a question before naming
    // a missing file, "jpg" added to a bare name.
    ASSERT_EQ(choosers.size(), 3u);
    for (const recorded_chooser& chooser : choosers) {
        EXPECT_EQ(chooser.owner, window);
        EXPECT_EQ(chooser.flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_CREATEPROMPT));
        EXPECT_EQ(chooser.default_extension, "jpg");
        EXPECT_EQ(chooser.buffer, open_path);
        EXPECT_EQ(chooser.buffer_size, 260u);
    }
}

TEST_F(main_window_test, a_render_out_of_memory_warns_unowned_and_the_click_goes_on_to_the_empty_view)
{
    // Extents beyond 32 bits: a tall picture at the fastest speed.
    source_image = allocate_raster(4, 1500000);
    ASSERT_TRUE(source_image.pixels);
    app_state.speed_fraction = 0.99999994f;
    command(IDM_ORIGINAL);
    ASSERT_TRUE(bar_shown(window, WS_VSCROLL));
    vscroll(SB_THUMBPOSITION, 50);
    ValidateRect(window, nullptr);

    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, "Error: Not enough memory to render the new image!");
    EXPECT_EQ(boxes[0].caption, "Error!");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_FALSE(rendered_image.pixels);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    // The bars are fitted to the raster that is not there.
    EXPECT_FALSE(bar_shown(window, WS_VSCROLL));
    EXPECT_FALSE(bar_shown(window, WS_HSCROLL));
    EXPECT_EQ(window_state.scroll_y, 0);
    EXPECT_TRUE(repaint_pending());
}

// Each line is drawn where its estimated width centres it: x = half the
// client width less half of (characters x average character width). The
// window's lines are compared pixel for pixel with the text drawn there.
TEST_F(main_window_test, start_up_hint_lines_are_centred_by_their_estimated_width)
{
    const std::string third = intro_line_3;
#ifdef LUMIRUN_HOMEPAGE
    ASSERT_EQ(third, "For the latest in fun physics, visit us at " LUMIRUN_HOMEPAGE ".");
#else
    ASSERT_EQ(third, "For the latest in fun physics, read README.txt beside the program.");
#endif
    const int width = 700;
    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // all of it on screen
    set_client_size(width, 300);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);

    window_dc dc(window);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc.get(), &metrics);
    const int height = metrics.tmHeight;
    auto band = [&](int top) {
        std::vector<COLORREF> pixels;
        for (int y = top; y < top + height; ++y)
            for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(dc.get(), x, y));
        return pixels;
    };
    struct hint_line {
        std::string text;
        int y;
        COLORREF colour;
    };
    const hint_line lines[] = {
        {"To start, pull down the File menu and select some JPG image.", 10, RGB(255, 0, 0)},
        {"Pull down the Help menu for more help.", 2 * height + 10, RGB(255, 0, 0)},
        {third, 5 * height + 10, RGB(0, 0, 255)},
    };
    for (const hint_line& line : lines) {
        const int length = static_cast<int>(line.text.size());
        const int x = width / 2 - (length * metrics.tmAveCharWidth) / 2;
        const std::vector<COLORREF> painted = band(line.y);
        RECT strip{0, line.y, width, line.y + height};
        FillRect(dc.get(), &strip, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetTextColor(dc.get(), line.colour);
        TextOutA(dc.get(), x, line.y, line.text.c_str(), length);
        const std::vector<COLORREF> expected = band(line.y);
        int differing = 0;
        for (std::size_t i = 0; i < painted.size(); ++i) differing += painted[i] != expected[i];
        EXPECT_EQ(differing, 0) << line.text << ": drawn elsewhere than from x = " << x;
    }
}

// A folder with a blank in its name and a picture whose name is beyond any
// legacy code page: the ANSI calls carry UTF-8 (the manifest's code page).
struct named_picture {
    test_support::temp_folder folder;
    std::string directory = folder.path("Open with");
    std::string path = directory + "\\Größe 日本 photo.jpg";

    named_picture()
    {
        CreateDirectoryA(directory.c_str(), nullptr);
        EXPECT_EQ(write_jpeg_file(path.c_str(), test_support::gradient_picture(40, 30), 90).result, 0);
    }
};

// What "File" > "Open..." shows for path: the rendered raster's digest.
std::string digest_of_chooser_open(HWND window, const std::string& path)
{
    next_choice = path;
    SendMessageA(window, WM_COMMAND, IDM_OPEN, 0);
    next_choice.clear();
    return test_support::raster_digest(rendered_image);
}

TEST_F(main_window_test, a_file_named_on_the_command_line_opens_as_the_open_command_opens_it)
{
    named_picture picture;
    const std::string by_chooser = digest_of_chooser_open(window, picture.path);
    choosers.clear();
    free_images();
    std::memset(open_path, 0, sizeof open_path);

    open_command_line_file(window, ("\"C:\\Lumirun\\lumirun.exe\" \"" + picture.path + "\"").c_str());
    EXPECT_TRUE(choosers.empty());
    EXPECT_TRUE(boxes.empty());
    EXPECT_STREQ(open_path, picture.path.c_str());
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    EXPECT_EQ(app_state.show_intro, 0);
    EXPECT_EQ(test_support::raster_digest(rendered_image), by_chooser);
    EXPECT_TRUE(repaint_pending());

    // A name relative to the current folder becomes the full path the
    // chooser would have given.
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(picture.directory.c_str()));
    free_images();
    open_command_line_file(window, "lumirun.exe \"Größe 日本 photo.jpg\"");
    SetCurrentDirectoryA(previous);
    EXPECT_STREQ(open_path, picture.path.c_str());
    EXPECT_EQ(test_support::raster_digest(rendered_image), by_chooser);

    // No argument: nothing happens.
    free_images();
    open_command_line_file(window, "\"C:\\Lumirun\\lumirun.exe\" ");
    EXPECT_FALSE(source_image.pixels);
    EXPECT_TRUE(boxes.empty());
}

// An HDROP as the shell makes it: DROPFILES, then the wide names, each
// ended by a zero, and a further zero.
HGLOBAL dropped_files(const std::vector<std::string>& paths)
{
    std::wstring names;
    for (const std::string& path : paths) {
        std::wstring wide(path.size() + 1, L'\0');
        const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0],
                                               static_cast<int>(wide.size()));
        names += wide.substr(0, static_cast<std::size_t>(length));  // with its zero
    }
    names += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

TEST_F(main_window_test, the_first_of_the_files_dropped_on_the_window_opens)
{
    named_picture picture;
    const std::string by_chooser = digest_of_chooser_open(window, picture.path);
    const std::string other = picture.folder.path("other.jpg");
    ASSERT_EQ(write_jpeg_file(other.c_str(), test_support::gradient_picture(12, 8), 90).result, 0);
    choosers.clear();
    free_images();

    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, WS_EX_ACCEPTFILES);
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(dropped_files({picture.path, other})), 0);
    pump();
    EXPECT_TRUE(choosers.empty());
    EXPECT_TRUE(boxes.empty());
    EXPECT_STREQ(open_path, picture.path.c_str());
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
    EXPECT_EQ(test_support::raster_digest(rendered_image), by_chooser);

    // A dropped file that is no picture fails as the chooser's would.
    const std::string text_file = picture.folder.path("notes.jpg");
    test_support::write_file(text_file, test_support::bytes{'t', 'e', 'x', 't'});
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(dropped_files({text_file})), 0);
    pump();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error opening file " + text_file + ".");
    EXPECT_EQ(app_state.view_mode, view_choice::original);

    // A PNG file opens as a JPEG file does.
    const std::string png = picture.folder.path("drawing.png");
    std::FILE* file = std::fopen(png.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::string reason;
    EXPECT_TRUE(write_png(file, test_support::gradient_picture(20, 12), &reason)) << reason;
    std::fclose(file);
    boxes.clear();
    PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(dropped_files({png})), 0);
    pump();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(source_image.width, 20);
    EXPECT_EQ(source_image.height, 12);
    EXPECT_EQ(app_state.view_mode, view_choice::relativity_version);
}

UINT wheel_setting(UINT action)
{
    UINT value = 0;
    EXPECT_TRUE(SystemParametersInfoA(action, 0, &value, 0));
    return value;
}

TEST_F(main_window_test, wheel_and_keys_scroll_through_the_bars_and_stop_at_the_ends)
{
    test_support::make_gradient_picture(1200, 900);
    command(IDM_ORIGINAL);
    const int last_x = scroll_info(window, SB_HORZ).nMax;
    const int last_y = scroll_info(window, SB_VERT).nMax;
    ASSERT_GT(last_x, 0);
    ASSERT_GT(last_y, 0);
    RECT client{};
    GetClientRect(window, &client);
    RECT bar{};
    GetWindowRect(window_state.status_bar, &bar);
    const int page = client.bottom - (bar.bottom - bar.top);
    const int lines = static_cast<int>(wheel_setting(SPI_GETWHEELSCROLLLINES));
    const int characters = static_cast<int>(wheel_setting(SPI_GETWHEELSCROLLCHARS));
    ASSERT_GT(lines, 0);
    ASSERT_GT(characters, 0);

    auto wheel = [&](UINT message, int delta, WORD keys = 0) {
        SendMessageA(window, message, MAKEWPARAM(keys, static_cast<WORD>(static_cast<short>(delta))), 0);
    };
    auto key = [&](WPARAM virtual_key) { return SendMessageA(window, WM_KEYDOWN, virtual_key, 1); };
    auto at = [&](int x, int y) {
        EXPECT_EQ(window_state.scroll_x, x);
        EXPECT_EQ(window_state.scroll_y, y);
        EXPECT_EQ(GetScrollPos(window, SB_HORZ), x);
        EXPECT_EQ(GetScrollPos(window, SB_VERT), y);
    };

    wheel(WM_MOUSEWHEEL, -WHEEL_DELTA);  // towards the user: down
    at(0, lines * 10);
    wheel(WM_MOUSEWHEEL, -WHEEL_DELTA / 10);  // a fine-grained wheel's share
    at(0, lines * 10 + lines);
    wheel(WM_MOUSEWHEEL, -WHEEL_DELTA, MK_SHIFT);  // with Shift: right
    at(lines * 10, lines * 11);
    wheel(WM_MOUSEHWHEEL, WHEEL_DELTA);  // tilted right
    at(lines * 10 + characters * 10, lines * 11);
    wheel(WM_MOUSEWHEEL, 3 * WHEEL_DELTA);  // away from the user: up, to the top only
    wheel(WM_MOUSEHWHEEL, -3 * WHEEL_DELTA);
    at(std::max(0, lines * 10 - characters * 20), 0);

    key(VK_HOME);
    at(0, 0);
    ValidateRect(window, nullptr);
    key(VK_UP);
    key(VK_LEFT);
    key(VK_PRIOR);
    at(0, 0);
    EXPECT_FALSE(repaint_pending()) << "at the top-left corner nothing moves";
    key(VK_DOWN);
    key(VK_RIGHT);
    at(10, 10);
    EXPECT_TRUE(repaint_pending());
    key(VK_NEXT);
    at(10, 10 + page);
    key(VK_PRIOR);
    at(10, 10);
    key(VK_END);
    at(last_x, last_y);
    ValidateRect(window, nullptr);
    key(VK_DOWN);
    key(VK_RIGHT);
    key(VK_NEXT);
    wheel(WM_MOUSEWHEEL, -WHEEL_DELTA);
    wheel(WM_MOUSEHWHEEL, WHEEL_DELTA);
    at(last_x, last_y);
    EXPECT_FALSE(repaint_pending()) << "at the bottom-right corner nothing moves";
    key(VK_LEFT);
    at(last_x - 10, last_y);

    // Past the end by the bars' arrows, which have no limit: a step onwards
    // does not pull the view back.
    for (int i = 0; i < 5; ++i) hscroll(SB_LINERIGHT);
    key(VK_RIGHT);
    EXPECT_EQ(window_state.scroll_x, last_x + 40);

    // A picture the window holds whole: its bars are hidden, nothing scrolls.
    test_support::make_gradient_picture(40, 30);
    command(IDM_ORIGINAL);
    key(VK_END);
    wheel(WM_MOUSEWHEEL, -WHEEL_DELTA);
    EXPECT_EQ(window_state.scroll_x, 0);
    EXPECT_EQ(window_state.scroll_y, 0);
}

TEST_F(main_window_test, ctrl_o_ctrl_s_and_f1_reach_their_commands_through_the_message_loop)
{
    test_support::make_gradient_picture(16, 12);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ASSERT_TRUE(rendered_image.pixels);
    std::strcpy(saved_command_line, "\"C:\\Lumirun\\Lumirun.exe\" ");

    BYTE keys[256] = {};
    auto press = [&](bool control, WPARAM virtual_key) {
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageA(window, WM_KEYDOWN, virtual_key, 1);
        PostQuitMessage(5);
        EXPECT_EQ(run_message_loop(window), 5);
    };
    press(true, 'S');  // the save chooser, cancelled
    press(false, 'S');
    press(false, 'O');
    press(true, 'O');  // the open chooser, cancelled
    press(false, VK_F1);
    press(true, VK_F1);
    press(false, 0);  // leaves Ctrl up

    ASSERT_EQ(choosers.size(), 2u);
    EXPECT_EQ(choosers[0].flags, static_cast<DWORD>(OFN_OVERWRITEPROMPT));
    EXPECT_EQ(choosers[0].buffer, save_path);
    EXPECT_EQ(choosers[1].flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_CREATEPROMPT));
    EXPECT_EQ(choosers[1].buffer, open_path);
    ASSERT_EQ(helps.size(), 1u);
    EXPECT_EQ(helps[0].file, "c:\\lumirun\\lumirun.hlp");
    EXPECT_EQ(helps[0].command, static_cast<UINT>(HELP_INDEX));
    EXPECT_TRUE(boxes.empty());

    // The menu keeps its texts: no shortcut is shown there.
    char text[64] = {};
    GetMenuStringA(GetMenu(window), IDM_OPEN, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&Open...");
}

}  // namespace
