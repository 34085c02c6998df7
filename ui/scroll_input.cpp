#include "ui/scroll_input.h"

#include <algorithm>

#include "ui/main_window.h"

namespace {

// The last offset a bar lets the view reach: its range's end while it is
// shown, 0 while it is hidden.
std::int32_t last_offset(HWND window, int bar)
{
    const LONG shown = bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL;
    if ((GetWindowLongA(window, GWL_STYLE) & shown) == 0)
        return 0;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    if (!GetScrollInfo(window, bar, &info))
        return 0;
    return std::max(0, info.nMax);
}

std::int32_t offset_of(int bar)
{
    return bar == SB_HORZ ? window_state.scroll_x : window_state.scroll_y;
}

// Moves toward target, held within the bar's range. A view that the bars'
// arrows have taken past the end is not pulled back by a step onwards.
void scroll_toward(HWND window, int bar, long long target)
{
    const std::int32_t offset = offset_of(bar);
    const long long limited = std::clamp<long long>(target, 0, last_offset(window, bar));
    if (limited == offset || (target > offset && limited < offset))
        return;
    scroll_view_to(window, bar, static_cast<std::int32_t>(limited));
}

void scroll_by(HWND window, int bar, long long distance)
{
    if (distance != 0)
        scroll_toward(window, bar, offset_of(bar) + distance);
}

std::int32_t visible_extent(HWND window, int bar)
{
    std::int32_t width = 0;
    std::int32_t height = 0;
    visible_client_size(window, &width, &height);
    return bar == SB_HORZ ? width : height;
}

UINT system_setting(UINT action, UINT fallback)
{
    UINT value = fallback;
    if (!SystemParametersInfoA(action, 0, &value, 0))
        return fallback;
    return value;
}

}  // namespace

std::int32_t wheel_distance(int delta, UINT steps, std::int32_t line_step, std::int32_t page)
{
    const long long notch = steps == WHEEL_PAGESCROLL ? page : static_cast<long long>(steps) * line_step;
    return static_cast<std::int32_t>(static_cast<long long>(delta) * notch / WHEEL_DELTA);
}

void scroll_by_wheel(HWND window, UINT message, WPARAM wparam)
{
    const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
    if (message == WM_MOUSEHWHEEL) {
        const UINT characters = system_setting(SPI_GETWHEELSCROLLCHARS, 3);
        scroll_by(window, SB_HORZ, wheel_distance(delta, characters, line_scroll_step,
                                                  visible_extent(window, SB_HORZ)));
        return;
    }
    // A wheel turned away from the user shows what is above, or with Shift
    // what is to the left.
    const int bar = (GET_KEYSTATE_WPARAM(wparam) & MK_SHIFT) ? SB_HORZ : SB_VERT;
    const UINT lines = system_setting(SPI_GETWHEELSCROLLLINES, 3);
    scroll_by(window, bar, -static_cast<long long>(
                               wheel_distance(delta, lines, line_scroll_step, visible_extent(window, bar))));
}

bool scroll_by_key(HWND window, WPARAM key)
{
    switch (key) {
    case VK_LEFT: scroll_by(window, SB_HORZ, -line_scroll_step); return true;
    case VK_RIGHT: scroll_by(window, SB_HORZ, line_scroll_step); return true;
    case VK_UP: scroll_by(window, SB_VERT, -line_scroll_step); return true;
    case VK_DOWN: scroll_by(window, SB_VERT, line_scroll_step); return true;
    case VK_PRIOR: scroll_by(window, SB_VERT, -1LL * visible_extent(window, SB_VERT)); return true;
    case VK_NEXT: scroll_by(window, SB_VERT, visible_extent(window, SB_VERT)); return true;
    case VK_HOME:
        scroll_toward(window, SB_HORZ, 0);
        scroll_toward(window, SB_VERT, 0);
        return true;
    case VK_END:
        scroll_toward(window, SB_HORZ, last_offset(window, SB_HORZ));
        scroll_toward(window, SB_VERT, last_offset(window, SB_VERT));
        return true;
    default: return false;
    }
}
