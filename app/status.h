// The renderer's only link to the window: the status bar's text.
#ifndef LUMIRUN_APP_STATUS_H
#define LUMIRUN_APP_STATUS_H

#include <cstdint>

// Replaces the status text and returns the status bar's reply.
using status_text_sink = std::int32_t (*)(const char* text);

// nullptr installs a sink that drops every text and replies 0.
void set_status_sink(status_text_sink sink);

std::int32_t set_status_text(const char* text);

#endif
