#include "ui/dialogs.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "resources/resource_ids.h"
#include "ui/platform_calls.h"

HINSTANCE app_instance = nullptr;

namespace {

// Dialog texts: 259 characters and the terminator.
constexpr int dialog_text_size = 260;

const char speed_range_error[] =
    "Error: The speed settings must be between 0% and 100%\n\n"
    "0% means completely stopped, and 100% means the speed of light.\n\n"
    "50% for example, would mean half the speed of light.\n\n"
    "Good numbers to type into this box are between 50 - 95.";

const int direction_buttons[] = {IDC_LEFT_TO_RIGHT, IDC_TOP_TO_BOTTOM, IDC_STRAIGHT_AT_IT};
// In the order of render_quality's values, 1 to 4, then smooth_quality (5).
const int quality_buttons[] = {IDC_QUALITY_LOW, IDC_QUALITY_MEDIUM, IDC_QUALITY_HIGH,
                               IDC_QUALITY_ULTRA, IDC_QUALITY_SMOOTH};

// Sets every button of a set, in order, so that only the chosen one is on;
// the template's grouping of automatic radio buttons is not relied upon.
template <int count>
void check_only(HWND dialog, const int (&buttons)[count], int chosen)
{
    for (int i = 0; i < count; ++i) {
        WPARAM state = buttons[i] == chosen ? 1 : 0;
        SendMessageA(GetDlgItem(dialog, buttons[i]), BM_SETCHECK, state, 0);
    }
}

// The button of a set that stands for a setting value, or 0 for none.
template <int count>
int button_for(const int (&buttons)[count], int index)
{
    return index >= 0 && index < count ? buttons[index] : 0;
}

void show_speed(HWND dialog)
{
    char text[dialog_text_size];
    std::snprintf(text, sizeof text, "%0.2f", static_cast<double>(app_state.speed_fraction) * 100.0);
    SetDlgItemTextA(dialog, IDC_SPEED, text);
}

bool is_digit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The percentage typed into the speed box, when the whole text is one
// decimal number: blanks around it, an optional sign, digits with an
// optional fraction after a decimal point or a decimal comma ("45,5" as
// German and French users type it), an optional exponent, and an optional
// "%" at the end. Anything else ("abc", "12abc", "", "0x20", "inf") is not a
// speed and gives false. Only the number's own characters, the comma made a
// point, reach strtod, so the C library's hexadecimal and "inf" forms never
// count.
bool typed_percent(const char* text, double* percent)
{
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    std::string number;
    if (*p == '+' || *p == '-')
        number += *p++;
    bool has_digits = false;
    for (; is_digit(*p); ++p, has_digits = true)
        number += *p;
    if (*p == '.' || *p == ',') {
        number += '.';
        for (++p; is_digit(*p); ++p, has_digits = true)
            number += *p;
    }
    if (!has_digits)
        return false;
    if (*p == 'e' || *p == 'E') {
        number += *p++;
        if (*p == '+' || *p == '-')
            number += *p++;
        if (!is_digit(*p))
            return false;
        for (; is_digit(*p); ++p)
            number += *p;
    }
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (*p == '%')
        ++p;
    while (std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (*p != '\0')
        return false;
    *percent = std::strtod(number.c_str(), nullptr);
    return true;
}

// "Faster" and "Slower" step in double precision and store single precision;
// the limits are tested on the unrounded result.
void speed_up()
{
    double sum = static_cast<double>(app_state.speed_fraction) + 0.05;
    app_state.speed_fraction = static_cast<float>(sum);
    if (sum >= 0.99)
        app_state.speed_fraction = 0.99f;
}

void slow_down()
{
    double difference = static_cast<double>(app_state.speed_fraction) - 0.05;
    app_state.speed_fraction = static_cast<float>(difference);
    if (difference < 0.0)
        app_state.speed_fraction = 0.0f;
}

// "Apply": takes the typed percentage when it is a number in [0, 100) after
// rounding to single precision; otherwise explains the range and keeps the
// dialog open with the text in place.
void apply_typed_speed(HWND dialog)
{
    char text[dialog_text_size];
    GetDlgItemTextA(dialog, IDC_SPEED, text, sizeof text);
    double percent = 0.0;
    const bool is_number = typed_percent(text, &percent);
    double fraction = percent / 100.0;
    float stored = static_cast<float>(fraction);
    if (!is_number || fraction < 0.0 || stored >= 1.0f) {
        message_box_call(dialog, speed_range_error, "Error", MB_ICONERROR | MB_OK);
        return;
    }
    app_state.speed_fraction = stored;
    EndDialog(dialog, 0);
}

}  // namespace

INT_PTR CALLBACK settings_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        show_speed(dialog);
        const auto direction = static_cast<std::int32_t>(app_state.fly_direction);
        check_only(dialog, direction_buttons, button_for(direction_buttons, direction));
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;

    int id = LOWORD(wparam);
    switch (id) {
    case IDC_FASTER:
        speed_up();
        show_speed(dialog);
        return TRUE;
    case IDC_SLOWER:
        slow_down();
        show_speed(dialog);
        return TRUE;
    case IDC_LEFT_TO_RIGHT:
    case IDC_TOP_TO_BOTTOM:
    case IDC_STRAIGHT_AT_IT:
        app_state.fly_direction = static_cast<fly_by_direction>(id - IDC_LEFT_TO_RIGHT);
        check_only(dialog, direction_buttons, id);
        return TRUE;
    case IDC_RENDER_IT:
        EndDialog(dialog, 1);
        return TRUE;
    case IDC_RENDER_QUALITY:
        DialogBoxParamA(app_instance, MAKEINTRESOURCEA(IDD_RENDER_QUALITY), dialog,
                        quality_dialog_proc, 0);
        return TRUE;
    case IDOK:
        apply_typed_speed(dialog);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK quality_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        const auto quality = static_cast<std::int32_t>(app_state.render_quality);
        check_only(dialog, quality_buttons, button_for(quality_buttons, quality - 1));
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;

    int id = LOWORD(wparam);
    switch (id) {
    case IDC_QUALITY_LOW:
    case IDC_QUALITY_MEDIUM:
    case IDC_QUALITY_HIGH:
    case IDC_QUALITY_ULTRA:
        app_state.render_quality
            = static_cast<quality_level>(id == IDC_QUALITY_ULTRA ? 4 : id - IDC_QUALITY_LOW + 1);
        check_only(dialog, quality_buttons, id);
        return TRUE;
    case IDC_QUALITY_SMOOTH:
        app_state.render_quality = smooth_quality;
        check_only(dialog, quality_buttons, id);
        return TRUE;
    case IDOK:
        EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
