#include "app/status.h"

static std::int32_t drop_text(const char*)
{
    return 0;
}

static status_text_sink current_sink = drop_text;

void set_status_sink(status_text_sink sink)
{
    current_sink = sink ? sink : drop_text;
}

std::int32_t set_status_text(const char* text)
{
    return current_sink(text);
}
