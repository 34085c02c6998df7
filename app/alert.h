// The picture parts' own failure boxes: caption "Error!", warning icon, one
// OK button, no owner window. The portable core only formats the text; the
// program decides how it is shown (a message box in the window program, a line
// on standard error in the command-line tool, a recorder in tests).
#ifndef LUMIRUN_APP_ALERT_H
#define LUMIRUN_APP_ALERT_H

// Returns when the user has dismissed the box.
using warning_box_handler = void (*)(const char* text, const char* caption);

// nullptr restores the default, which writes "caption: text" to stderr.
void set_warning_box_handler(warning_box_handler handler);

void show_warning_box(const char* text, const char* caption);

#endif
