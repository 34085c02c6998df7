#include "app/commands.h"

#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/picture_files.h"
#include "app/picture_store.h"
#include "app/render_view.h"

namespace {

// Formats "Error opening file %s." for a path of any length.
std::string open_error_text(const char* path)
{
    return std::string("Error opening file ") + path + ".";
}

void restore_default_settings()
{
    app_state.speed_fraction = 0.5f;
    app_state.render_quality = quality_level::low;
    app_state.fly_direction = fly_by_direction::left_to_right;
}

// A render needs the source pixels; after an open was cancelled or failed
// only the old size is left, and there is nothing to draw from.
bool source_pixels_held()
{
    return source_image.pixels != nullptr;
}

void show_what_is_held(ui_services& ui)
{
    ui.update_scroll_bars();
    ui.request_repaint();
}

// The first steps of every open: released before the file is known, so a
// cancelled open leaves no picture and the window then shows the empty view,
// as it always has.
void release_for_open()
{
    free_images();
    reset_observer();
    app_state.view_mode = view_choice::original;
}

// The steps of an open once open_path names the file.
void open_named_picture(ui_services& ui)
{
    if (load_picture(open_path) != 0) {
        ui.show_error_box(open_error_text(open_path).c_str(), "Error");
        show_what_is_held(ui);
        return;
    }
    app_state.show_intro = 0;
    restore_default_settings();
    app_state.view_mode = view_choice::relativity_version;
    set_observer(0, source_height() / 2);
    render_with_settings();
    ui.update_scroll_bars();
    ui.request_repaint();
}

}  // namespace

void render_with_settings()
{
    render_relativistic(app_state.fly_direction, static_cast<double>(app_state.speed_fraction),
                        app_state.render_quality);
}

void init_app_state()
{
    reset_observer();
    app_state.view_mode = view_choice::original;
    restore_default_settings();
    app_state.show_intro = 1;
}

void open_picture(ui_services& ui)
{
    release_for_open();
    // The pictures are gone (or only the rows of a failed read are left):
    // the window must not go on showing what it no longer holds.
    if (!ui.choose_open_file(open_path)) {
        show_what_is_held(ui);
        return;
    }
    open_named_picture(ui);
}

void open_picture_file(ui_services& ui, const char* path)
{
    release_for_open();
    if (std::strlen(path) >= sizeof open_path) {
        ui.show_error_box(open_error_text(path).c_str(), "Error");
        show_what_is_held(ui);
        return;
    }
    std::strcpy(open_path, path);
    open_named_picture(ui);
}

void save_picture_as(ui_services& ui)
{
    // Checked before the chooser: a name chosen for nothing would only
    // create an empty or broken file.
    if (!rendered_image.pixels) {
        ui.show_error_box("There is no rendered picture to save yet: open a picture first.", "Error");
        return;
    }
    if (!ui.choose_save_file(save_path))
        return;
    // "opening": the program's one message for a file that failed, whichever
    // way it was going; the writer's own box has said what went wrong.
    if (save_picture(save_path) != 0)
        ui.show_error_box(open_error_text(save_path).c_str(), "Error");
}

void show_original(ui_services& ui)
{
    app_state.view_mode = view_choice::original;
    ui.update_scroll_bars();
    ui.request_repaint();
}

void show_relativity_version(ui_services& ui)
{
    app_state.view_mode = view_choice::relativity_version;
    ui.update_scroll_bars();
    ui.request_repaint();
}

void edit_settings(ui_services& ui)
{
    // The dialog writes the settings itself; they stay whatever it returns.
    if (ui.run_settings_dialog() != 1)
        return;
    if (!source_pixels_held())
        return;
    render_with_settings();
    app_state.view_mode = view_choice::relativity_version;
    ui.request_repaint();
}

void place_observer(ui_services& ui, std::int32_t x, std::int32_t y)
{
    if (!source_pixels_held())
        return;
    set_observer(x, y);
    render_with_settings();
    app_state.view_mode = view_choice::relativity_version;
    ui.update_scroll_bars();
    ui.request_repaint();
}

void quit_program(ui_services& ui)
{
    ui.shut_down();
}
