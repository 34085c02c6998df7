#include "cli/progress_bar.h"

#include <cstring>

int render_percent(const char* status_text)
{
    if (std::strcmp(status_text, "Relativistic Image Complete.") == 0)
        return 100;
    int pass = 0;
    int percent = 0;
    char tail[8] = {};
    if (std::sscanf(status_text, "Pass %d/2: %d%% %6s", &pass, &percent, tail) != 3 || std::strcmp(tail, "done.") != 0)
        return -1;
    if (pass < 1 || pass > 2 || percent < 0 || percent > 100)
        return -1;
    return (pass - 1) * 50 + percent / 2;
}

std::string progress_line(int percent, int width)
{
    const int filled = percent * width / 100;
    std::string line = "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] ";
    char number[8];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    return line + number;
}

void progress_bar::update(const char* status_text)
{
    const int percent = render_percent(status_text);
    if (percent < 0 || percent == shown_)
        return;
    shown_ = percent;
    std::fprintf(stream_, "\r%s", progress_line(percent, 40).c_str());
    if (percent == 100) {
        std::fputc('\n', stream_);
        shown_ = -1;
    }
    std::fflush(stream_);
}

void progress_bar::finish()
{
    if (shown_ >= 0)
        std::fputc('\n', stream_);
    shown_ = -1;
}
