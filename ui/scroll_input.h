// Scrolling the picture by mouse wheel and keyboard, beside the scroll bars'
// own arrows and thumbs. Every step moves the view through the scroll bars'
// code, so the thumb follows, and stops at the ends of the bar's range: the
// first column or row, and the last one that the window can show. A bar
// that is hidden (the picture fits) does not scroll.
//
//   wheel (WM_MOUSEWHEEL)      the system's wheel lines (3) a notch, each a
//                              line step of 10 pixels, up or down; with Shift
//                              left or right; "one screen" settings a page
//   tilt (WM_MOUSEHWHEEL)      the system's wheel characters (3) a notch, each
//                              10 pixels, left or right
//   arrow keys                 10 pixels, as a click on a bar's arrow
//   Page Up, Page Down         the visible height
//   Home, End                  the top-left corner, the bottom-right corner
#ifndef LUMIRUN_UI_SCROLL_INPUT_H
#define LUMIRUN_UI_SCROLL_INPUT_H

#include <windows.h>

#include <cstdint>

// WM_MOUSEWHEEL or WM_MOUSEHWHEEL with its wparam.
void scroll_by_wheel(HWND window, UINT message, WPARAM wparam);

// WM_KEYDOWN's virtual key; false for a key that does not scroll.
bool scroll_by_key(HWND window, WPARAM key);

// How far a wheel turned by delta (WHEEL_DELTA a notch, positive away from
// the user or to the right) moves the view: steps lines of line_step pixels
// a notch, or page pixels a notch for WHEEL_PAGESCROLL. Positive scrolls on,
// right or down. Fractions of a notch (fine-grained wheels) move their share.
std::int32_t wheel_distance(int delta, UINT steps, std::int32_t line_step, std::int32_t page);

#endif
