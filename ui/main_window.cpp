#include "ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/picture_store.h"
#include "app/alert.h"
#include "app/status.h"
#include "resources/resource_ids.h"
#include "ui/command_line_file.h"
#include "ui/dialogs.h"
#include "ui/file_choosers.h"
#include "ui/help_about.h"
#include "ui/platform_calls.h"
#include "ui/scroll_input.h"

main_window_state window_state;

const char main_window_name[] = "Lumirun JPG";

const char intro_line_1[] = "To start, pull down the File menu and select some JPG image.";
const char intro_line_2[] = "Pull down the Help menu for more help.";
// The project's page when the build names one (cmake/addresses.cmake),
// otherwise the README that comes with the program.
#ifdef LUMIRUN_HOMEPAGE
const char intro_line_3[] = "For the latest in fun physics, visit us at " LUMIRUN_HOMEPAGE ".";
#else
const char intro_line_3[] = "For the latest in fun physics, read README.txt beside the program.";
#endif

namespace {

constexpr int status_bar_id = 1024;

// BeginPaint/EndPaint as one owned object.
class paint_session {
public:
    explicit paint_session(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
    ~paint_session() { EndPaint(window_, &paint_); }
    paint_session(const paint_session&) = delete;
    paint_session& operator=(const paint_session&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// What the application commands need of the window, always with the main
// window as owner.
class window_services final : public ui_services {
public:
    explicit window_services(HWND window) : window_(window) {}

    bool choose_open_file(char* path) override { return ::choose_open_file(window_, path) != 0; }
    bool choose_save_file(char* path) override { return ::choose_save_file(window_, path) != 0; }

    std::int32_t run_settings_dialog() override
    {
        return static_cast<std::int32_t>(DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_SETTINGS),
                                                          window_, settings_dialog_proc, 0));
    }

    void show_error_box(const char* text, const char* caption) override
    {
        message_box_call(window_, text, caption, MB_ICONERROR | MB_OK);
    }

    void update_scroll_bars() override
    {
        ::update_scroll_bars(window_, window_state.client_width, window_state.client_height,
                             window_state.scroll_x, window_state.scroll_y);
    }

    void request_repaint() override { InvalidateRect(window_, nullptr, TRUE); }

    // The destroy handling runs at once; the window itself stays until the
    // process ends.
    void shut_down() override { SendMessageA(window_, WM_DESTROY, 0, 0); }

private:
    HWND window_;
};

HWND create_status_bar(HWND window)
{
    return CreateStatusWindowA(WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | CCS_BOTTOM, "", window,
                               status_bar_id);
}

const raster* shown_raster()
{
    if (app_state.view_mode == view_choice::original) return &source_image;
    if (app_state.view_mode == view_choice::relativity_version) return &rendered_image;
    return nullptr;
}

// One bar: hidden with offset 0 when the raster is smaller than the client
// extent, otherwise shown with a range that lets the thumb reach the last
// column or row. The range is worked out after showing the bar, from the
// client size at that moment, because showing or hiding a bar resizes the
// client area (and runs a nested WM_SIZE) under our feet.
void fit_scroll_bar(HWND window, int bar, std::int32_t extent, std::int32_t client_extent,
                    std::int32_t& offset)
{
    if (extent < client_extent) {
        SetScrollRange(window, bar, 0, extent, FALSE);
        ShowScrollBar(window, bar, FALSE);
        offset = 0;
        return;
    }
    ShowScrollBar(window, bar, TRUE);
    std::int32_t visible_width = 0;
    std::int32_t visible_height = 0;
    visible_client_size(window, &visible_width, &visible_height);
    const std::int32_t visible = bar == SB_HORZ ? visible_width : visible_height;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    // An empty range would hide the bar; it stays shown, disabled.
    info.fMask = SIF_RANGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = std::max<std::int32_t>(0, extent - visible);
    info.nPos = offset;
    SetScrollInfo(window, bar, &info, TRUE);
}

void paint_intro(HDC dc)
{
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    auto draw_centred = [&](const char* text, int y) {
        const int length = static_cast<int>(std::strlen(text));
        const int x = window_state.client_width / 2 - (length * metrics.tmAveCharWidth) / 2;
        TextOutA(dc, x, y, text, length);
    };
    SetTextColor(dc, RGB(255, 0, 0));
    draw_centred(intro_line_1, 10);
    draw_centred(intro_line_2, 2 * metrics.tmHeight + 10);
    SetTextColor(dc, RGB(0, 0, 255));
    draw_centred(intro_line_3, 5 * metrics.tmHeight + 10);
}

void paint_window(HWND window)
{
    paint_session paint(window);
    paint_raster(paint.dc(), app_state.view_mode == view_choice::original ? source_image : rendered_image,
                 window_state.scroll_x, window_state.scroll_y);
    if (app_state.show_intro == 1) paint_intro(paint.dc());
}

void run_menu_command(HWND window, int id)
{
    window_services ui(window);
    switch (id) {
    case IDM_OPEN: open_picture(ui); break;
    case IDM_SAVE_AS: save_picture_as(ui); break;
    case IDM_QUIT: quit_program(ui); break;
    case IDM_SETTINGS: edit_settings(ui); break;
    case IDM_ORIGINAL: show_original(ui); break;
    case IDM_RELATIVITY: show_relativity_version(ui); break;
    case IDM_HELP_INDEX: show_help_index(window); break;
    case IDM_ABOUT: show_about_box(window); break;
    default: break;  // not a menu command: nothing
    }
}

// Line steps and the final thumb position move the view; every other code
// changes nothing.
void scroll(HWND window, int bar, WPARAM wparam, std::int32_t offset)
{
    switch (LOWORD(wparam)) {
    case SB_LINELEFT:
        scroll_view_to(window, bar, std::max<std::int32_t>(0, offset - line_scroll_step));
        break;
    case SB_LINERIGHT: scroll_view_to(window, bar, offset + line_scroll_step); break;
    // The message's 16-bit position, as the viewer has always taken it: past
    // 65535 pixels it wraps (GetScrollInfo would have the full 32 bits).
    case SB_THUMBPOSITION: scroll_view_to(window, bar, HIWORD(wparam)); break;
    default: break;
    }
}

void on_create(HWND window)
{
    init_file_chooser(window);
    InitCommonControls();
    window_state.status_bar = create_status_bar(window);
    window_state.scroll_x = 0;
    window_state.scroll_y = 0;
    init_app_state();
    DragAcceptFiles(window, TRUE);
}

void on_size(HWND window, LPARAM lparam)
{
    // A new bar rather than a moved one: it docks itself at the new bottom
    // edge, and an empty bar after a resize is how the viewer has always been.
    if (window_state.status_bar) DestroyWindow(window_state.status_bar);
    window_state.status_bar = create_status_bar(window);
    window_state.client_width = LOWORD(lparam);
    window_state.client_height = HIWORD(lparam);
    update_scroll_bars(window, window_state.client_width, window_state.client_height,
                       window_state.scroll_x, window_state.scroll_y);
}

void on_destroy(HWND window)
{
    close_help(window);
    PostQuitMessage(0);
    free_images();
}

// The first of the files dropped on the window opens; the others are left.
void open_dropped_file(HWND window, HDROP drop)
{
    const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
    std::string path(length, '\0');
    const bool named = length > 0 && DragQueryFileA(drop, 0, &path[0], length + 1) == length;
    DragFinish(drop);
    if (named)
        open_file_by_path(window, path.c_str());
}

// The full path of a file named relative to the current folder, as the
// chooser would have given it; the path as it is when that fails.
std::string full_path(const char* path)
{
    const DWORD size = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::string full(size, '\0');
    const DWORD length = GetFullPathNameA(path, size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

// The picture parts' own failure boxes: no owner, warning icon.
void show_warning_message(const char* text, const char* caption)
{
    message_box_call(nullptr, text, caption, MB_OK | MB_ICONWARNING);
}

}  // namespace

void scroll_view_to(HWND window, int bar, std::int32_t offset)
{
    (bar == SB_HORZ ? window_state.scroll_x : window_state.scroll_y) = offset;
    SetScrollPos(window, bar, offset, TRUE);
    InvalidateRect(window, nullptr, TRUE);
}

void visible_client_size(HWND window, std::int32_t* width, std::int32_t* height)
{
    RECT client{};
    GetClientRect(window, &client);
    std::int32_t covered = 0;
    RECT bar{};
    if (window_state.status_bar && GetWindowRect(window_state.status_bar, &bar)) {
        covered = bar.bottom - bar.top;
    }
    *width = client.right - client.left;
    *height = std::max<std::int32_t>(0, client.bottom - client.top - covered);
}

void open_file_by_path(HWND window, const char* path)
{
    window_services ui(window);
    open_picture_file(ui, full_path(path).c_str());
}

void open_command_line_file(HWND window, const char* command_line)
{
    const std::string path = first_command_line_argument(command_line);
    if (!path.empty())
        open_file_by_path(window, path.c_str());
}

void connect_core_to_window()
{
    set_status_sink(send_status_text);
    set_warning_box_handler(show_warning_message);
}

std::int32_t send_status_text(const char* text)
{
    return static_cast<std::int32_t>(
        SendMessageA(window_state.status_bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text)));
}

void update_scroll_bars(HWND window, std::int32_t client_width, std::int32_t client_height,
                        std::int32_t& offset_x, std::int32_t& offset_y)
{
    const raster* image = shown_raster();
    if (!image) return;
    fit_scroll_bar(window, SB_HORZ, image->width, client_width, offset_x);
    fit_scroll_bar(window, SB_VERT, image->height, client_height, offset_y);
}

void paint_raster(HDC dc, const raster& image, std::int32_t offset_x, std::int32_t offset_y)
{
    if (!image.pixels) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down: first stored row on top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, image.width, image.height, offset_x, 0, offset_y, image.height,
                      image.pixels.get(), &info, DIB_RGB_COLORS);
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE: on_create(window); return 0;
    case WM_DESTROY: on_destroy(window); return 0;
    case WM_SIZE: on_size(window, lparam); return 0;
    case WM_PAINT: paint_window(window); return 0;
    case WM_COMMAND: run_menu_command(window, LOWORD(wparam)); return 0;
    case WM_HSCROLL: scroll(window, SB_HORZ, wparam, window_state.scroll_x); return 0;
    case WM_VSCROLL: scroll(window, SB_VERT, wparam, window_state.scroll_y); return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: scroll_by_wheel(window, message, wparam); return 0;
    case WM_KEYDOWN:
        if (scroll_by_key(window, wparam)) return 0;
        return DefWindowProcA(window, message, wparam, lparam);
    case WM_DROPFILES: open_dropped_file(window, reinterpret_cast<HDROP>(wparam)); return 0;
    case WM_MOUSEMOVE:
        window_state.last_mouse_x = LOWORD(lparam);
        window_state.last_mouse_y = HIWORD(lparam);
        return 0;
    case WM_LBUTTONDOWN: {
        // The observer goes where the pointer last moved, not to the click's
        // own lparam, and without the scroll offsets: the viewer always did so.
        window_services ui(window);
        place_observer(ui, window_state.last_mouse_x, window_state.last_mouse_y);
        return 0;
    }
    default: return DefWindowProcA(window, message, wparam, lparam);
    }
}

ATOM register_main_window_class(HINSTANCE instance)
{
    WNDCLASSA window_class{};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LUMIRUN));
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    window_class.lpszClassName = main_window_name;
    return RegisterClassA(&window_class);
}

HWND create_main_window(HINSTANCE instance)
{
    return CreateWindowExA(0, main_window_name, main_window_name,
                           WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                           nullptr);
}

int run_main_window(HINSTANCE instance, int show_command)
{
    app_instance = instance;
    if (!register_main_window_class(instance)) {
        message_box_call(nullptr, "This program requires Windows NT!", main_window_name, MB_ICONERROR);
        return 0;
    }
    save_command_line();
    connect_core_to_window();

    HWND window = create_main_window(instance);
    if (!window) {
        // With no window the loop below would wait for ever.
        message_box_call(nullptr, "The main window cannot be created.", main_window_name, MB_ICONERROR);
        return 0;
    }
    ShowWindow(window, show_command);
    UpdateWindow(window);
    // "Open with", or a picture dropped on the program's icon: opened once
    // the window shows, so the render's progress is seen in its status bar.
    open_command_line_file(window, GetCommandLineA());
    return run_message_loop(window);
}

int run_message_loop(HWND window)
{
    HACCEL shortcuts = LoadAcceleratorsA(app_instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (shortcuts && TranslateAcceleratorA(window, shortcuts, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
