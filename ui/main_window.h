// The program's single top-level window "Lumirun JPG": its menu commands,
// the status bar that carries the render progress, painting of the shown
// raster at the scroll offsets, the scroll bars, the start-up hint, the
// click that places the observer, and the ui_services through which the
// application commands reach the window.
#ifndef LUMIRUN_UI_MAIN_WINDOW_H
#define LUMIRUN_UI_MAIN_WINDOW_H

#include <windows.h>

#include <cstdint>

#include "app/picture_store.h"

// Every field is zero until the window is created.
struct main_window_state {
    HWND status_bar = nullptr;  // replaced by a new, empty one at every WM_SIZE
    // From the last WM_SIZE; includes the strip the status bar covers.
    std::int32_t client_width = 0;
    std::int32_t client_height = 0;
    // Raster pixel (scroll_x, scroll_y) is drawn at the client's top-left
    // corner; never below 0, no upper limit.
    std::int32_t scroll_x = 0;
    std::int32_t scroll_y = 0;
    // Pointer position of the last WM_MOUSEMOVE, in client pixels.
    std::int32_t last_mouse_x = 0;
    std::int32_t last_mouse_y = 0;
};

extern main_window_state window_state;

// Window class name and window title.
extern const char main_window_name[];

// The three lines of the start-up hint.
extern const char intro_line_1[];
extern const char intro_line_2[];
extern const char intro_line_3[];

// Registers the window class (menu 101, icon 104, white background); the
// result is RegisterClassA's, 0 on failure.
ATOM register_main_window_class(HINSTANCE instance);

// Creates the main window of the registered class; WM_CREATE has run when
// this returns.
HWND create_main_window(HINSTANCE instance);

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The renderer's status sink: SB_SETTEXTA to the current status bar, pane 0;
// returns the bar's reply.
std::int32_t send_status_text(const char* text);

// Routes the core's progress texts to the status bar (send_status_text) and
// its warning boxes (the reader's, the writer's, the renderer's out-of-memory
// box) to message boxes with no owner and the warning icon.
void connect_core_to_window();

// Shows, hides and ranges both scroll bars of the window for the raster that
// view_mode selects. A raster narrower (lower) than the client area hides
// its bar and sets that offset to 0; otherwise the bar is shown with the
// range 0 to the raster's extent less the visible client extent (the status
// bar's strip excluded vertically), the thumb at the offset.
void update_scroll_bars(HWND window, std::int32_t client_width, std::int32_t client_height,
                        std::int32_t& offset_x, std::int32_t& offset_y);

// Draws the raster with raster pixel (offset_x, offset_y) at the top-left
// corner, with one SetDIBitsToDevice call from the stored rows. A raster
// without pixels draws nothing.
void paint_raster(HDC dc, const raster& image, std::int32_t offset_x, std::int32_t offset_y);

// The scroll bars' line step in pixels.
constexpr std::int32_t line_scroll_step = 10;

// The scroll bars' common step: the view's offset on that bar (SB_HORZ or
// SB_VERT) becomes offset, the thumb follows, and the window is repainted.
void scroll_view_to(HWND window, int bar, std::int32_t offset);

// The client area less the strip the status bar covers.
void visible_client_size(HWND window, std::int32_t* width, std::int32_t* height);

// Opens a picture file named by path, as "File" > "Open..." opens the file
// chosen in its chooser; a relative path is taken from the current folder.
void open_file_by_path(HWND window, const char* path);

// Opens the file that the command line's first argument names, if any (see
// ui/command_line_file.h).
void open_command_line_file(HWND window, const char* command_line);

// The message loop until the quit message, with the keyboard shortcuts of
// resource IDR_ACCELERATORS (from app_instance) for window. Returns the quit
// message's code.
int run_message_loop(HWND window);

// The entry's work: registers the class, saves the command line, creates
// and shows the window, opens the file named on the command line, runs the
// message loop. Returns the exit code.
int run_main_window(HINSTANCE instance, int show_command);

#endif
