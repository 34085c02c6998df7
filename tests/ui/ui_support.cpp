#include "tests/ui/ui_support.h"

#include <cstring>
#include <utility>

#include <gtest/gtest.h>

#include "ui/dialogs.h"
#include "ui/platform_calls.h"

namespace ui_test {

namespace {

constexpr UINT next_step_message = WM_APP + 17;
// A run that outlives this has lost its way (a step that never ends its
// dialog while a nested one is open): end it rather than hang the suite.
constexpr UINT_PTR watchdog_timer = 17;
constexpr UINT watchdog_ms = 20000;

struct driver_state {
    DLGPROC procedure = nullptr;
    std::vector<dialog_step> steps;
    std::size_t next = 0;
};
driver_state driver;

void end_open_dialogs(HWND dialog)
{
    for (HWND nested = owned_dialog(dialog); nested != nullptr; nested = owned_dialog(nested))
        EndDialog(nested, still_open);
    EndDialog(dialog, still_open);
}

INT_PTR CALLBACK driving_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == next_step_message) {
        // A step's turn waits until what the step before it posted (a close
        // box's cancel command, say) has been handled.
        if (HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE) {
            PostMessageA(dialog, next_step_message, 0, 0);
            return TRUE;
        }
        if (driver.next == driver.steps.size()) {
            end_open_dialogs(dialog);
            return TRUE;
        }
        PostMessageA(dialog, next_step_message, 0, 0);
        dialog_step step = driver.steps[driver.next++];
        step(dialog);
        return TRUE;
    }
    if (message == WM_TIMER && wparam == watchdog_timer) {
        ADD_FAILURE() << "dialog still running after " << watchdog_ms << " ms";
        end_open_dialogs(dialog);
        return TRUE;
    }
    INT_PTR handled = driver.procedure(dialog, message, wparam, lparam);
    if (message == WM_INITDIALOG) {
        SetTimer(dialog, watchdog_timer, watchdog_ms, nullptr);
        PostMessageA(dialog, next_step_message, 0, 0);
    }
    return handled;
}

bool is_dialog_window(HWND window)
{
    char class_name[16] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    return std::strcmp(class_name, "#32770") == 0;
}

struct find_owned {
    HWND owner;
    HWND found;
};

BOOL CALLBACK match_owned(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<find_owned*>(context);
    // A modal dialog becomes visible only once its queue first runs empty,
    // so visibility is not asked for.
    if (GetWindow(window, GW_OWNER) == search->owner && is_dialog_window(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

int WINAPI record_message_box(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    platform_recorder::boxes.push_back({owner, text ? text : "", caption ? caption : "", type});
    return IDOK;
}

BOOL WINAPI record_win_help(HWND owner, LPCSTR file, UINT help_command, ULONG_PTR data)
{
    platform_recorder::help_calls.push_back({owner, file ? file : "", help_command, data});
    return TRUE;
}

}  // namespace

dialog_run run_dialog(int template_id, DLGPROC procedure, std::vector<dialog_step> steps)
{
    app_instance = GetModuleHandleA(nullptr);
    driver.procedure = procedure;
    driver.steps = std::move(steps);
    driver.next = 0;
    dialog_run run;
    run.result = DialogBoxParamA(app_instance, MAKEINTRESOURCEA(template_id), nullptr,
                                 driving_procedure, 0);
    run.steps_run = static_cast<int>(driver.next);
    // A dialog that ended before the last step leaves its last turn posted;
    // drop it so that it cannot reach a later run.
    MSG stale;
    while (PeekMessageA(&stale, nullptr, next_step_message, next_step_message, PM_REMOVE)) {
    }
    driver = driver_state{};
    return run;
}

HWND owned_dialog(HWND owner)
{
    find_owned search{owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), match_owned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void click(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void command(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void type_text(HWND dialog, int id, const std::string& text)
{
    HWND box = GetDlgItem(dialog, id);
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
    SendMessageA(box, WM_CHAR, VK_BACK, 1);
    for (char c : text)
        SendMessageA(box, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void press_key(HWND dialog, UINT virtual_key)
{
    MSG key{};
    key.hwnd = GetFocus() ? GetFocus() : dialog;
    key.message = WM_KEYDOWN;
    key.wParam = virtual_key;
    key.lParam = 1;
    if (!IsDialogMessageA(dialog, &key)) {
        TranslateMessage(&key);
        DispatchMessageA(&key);
    }
}

std::string item_text(HWND dialog, int id)
{
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::vector<int> checked(HWND dialog, const std::vector<int>& buttons)
{
    std::vector<int> on;
    for (int id : buttons) {
        if (SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED)
            on.push_back(id);
    }
    return on;
}

std::vector<message_box_record> platform_recorder::boxes;
std::vector<win_help_record> platform_recorder::help_calls;

namespace {
message_box_function saved_message_box = nullptr;
win_help_function saved_win_help = nullptr;
}  // namespace

platform_recorder::platform_recorder()
{
    boxes.clear();
    help_calls.clear();
    saved_message_box = message_box_call;
    saved_win_help = win_help_call;
    message_box_call = record_message_box;
    win_help_call = record_win_help;
}

platform_recorder::~platform_recorder()
{
    message_box_call = saved_message_box;
    win_help_call = saved_win_help;
}

}  // namespace ui_test
