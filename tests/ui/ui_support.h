// Helpers for the window-layer tests: a driver that runs a dialog modally from
// its real template and procedure and feeds it steps from inside its own
// modal loop, control helpers, and recorders for the message boxes and the
// help engine.
#ifndef LUMIRUN_TESTS_UI_UI_SUPPORT_H
#define LUMIRUN_TESTS_UI_UI_SUPPORT_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui_test {

using dialog_step = std::function<void(HWND dialog)>;

// The result a run reports when its dialog was still open after the last
// step, whereupon the driver ended it (and any dialog it had opened).
constexpr INT_PTR still_open = -2;

struct dialog_run {
    INT_PTR result = 0;  // what DialogBoxParamA returned
    int steps_run = 0;   // steps after the dialog ended never run
};

// DialogBoxParamA with this executable's template and the given procedure,
// app_instance set to this executable. Each step is handed the dialog
// window and runs inside the dialog's modal loop; the next step's turn is
// posted before a step runs, so steps go on inside any modal loop that a
// step opens (the Render Quality dialog opened from the Settings dialog).
dialog_run run_dialog(int template_id, DLGPROC procedure, std::vector<dialog_step> steps);

// A dialog window that owner owns (a nested dialog), or nullptr.
HWND owned_dialog(HWND owner);

// A click on a button as the user makes it (BM_CLICK).
void click(HWND dialog, int id);
// The WM_COMMAND that a click makes, without the button's own state change.
void command(HWND dialog, int id);
// Replaces the text of an edit box by typing it key by key.
void type_text(HWND dialog, int id, const std::string& text);
// A key press as the dialog's modal loop hands it to the dialog manager.
void press_key(HWND dialog, UINT virtual_key);

std::string item_text(HWND dialog, int id);
// The ids among buttons whose check mark is on, in the order given.
std::vector<int> checked(HWND dialog, const std::vector<int>& buttons);

struct message_box_record {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct win_help_record {
    HWND owner;
    std::string file;
    UINT command;
    ULONG_PTR data;
};

// While alive, message boxes and help calls are recorded instead of shown
// (each box answers IDOK); the real calls are put back afterwards.
class platform_recorder {
public:
    platform_recorder();
    ~platform_recorder();
    platform_recorder(const platform_recorder&) = delete;
    platform_recorder& operator=(const platform_recorder&) = delete;

    static std::vector<message_box_record> boxes;
    static std::vector<win_help_record> help_calls;
};

}  // namespace ui_test

#endif
