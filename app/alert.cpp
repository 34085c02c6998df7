#include "app/alert.h"

#include <cstdio>

static void print_warning(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s %s\n", caption, text);
}

static warning_box_handler current_handler = print_warning;

void set_warning_box_handler(warning_box_handler handler)
{
    current_handler = handler ? handler : print_warning;
}

void show_warning_box(const char* text, const char* caption)
{
    current_handler(text, caption);
}
