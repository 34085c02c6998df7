// The user's commands as operations on app_state. They reach the user
// interface only through ui_services, so they run without a window system.
#ifndef LUMIRUN_APP_COMMANDS_H
#define LUMIRUN_APP_COMMANDS_H

#include <cstdint>

class ui_services {
public:
    virtual ~ui_services() = default;
    // True when the user chose a file; its full path is then in path
    // (a buffer of path_buffer_size characters).
    virtual bool choose_open_file(char* path) = 0;
    virtual bool choose_save_file(char* path) = 0;
    // 1 after "Render It", 0 after "Apply" or "Cancel".
    virtual std::int32_t run_settings_dialog() = 0;
    // Modal, error icon, owned by the main window; returns when dismissed.
    virtual void show_error_box(const char* text, const char* caption) = 0;
    virtual void update_scroll_bars() = 0;
    virtual void request_repaint() = 0;
    virtual void shut_down() = 0;
};

void init_app_state();
void open_picture(ui_services& ui);
// The Open command for a file named rather than chosen (on the command line,
// dropped on the window): the same steps with path in place of the chooser's
// answer. path is copied into open_path, where the next chooser starts; a
// path too long for it is refused with the command's own error box.
void open_picture_file(ui_services& ui, const char* path);
void save_picture_as(ui_services& ui);
void show_original(ui_services& ui);
void show_relativity_version(ui_services& ui);
void edit_settings(ui_services& ui);
void place_observer(ui_services& ui, std::int32_t x, std::int32_t y);
void quit_program(ui_services& ui);

// The render that opening, "Render It" and a click share: the current
// direction, speed (widened to double) and quality.
void render_with_settings();

#endif
