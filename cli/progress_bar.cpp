#include "cli/progress_bar.h"

int render_percent(int pass, int percent)
{
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

void progress_bar::update(int pass, int percent)
{
    show(render_percent(pass, percent));
}

void progress_bar::complete()
{
    show(100);
    finish();
}

void progress_bar::show(int percent)
{
    if (percent == shown_)
        return;
    shown_ = percent;
    std::fprintf(stream_, "\r%s", progress_line(percent, 40).c_str());
    std::fflush(stream_);
}

void progress_bar::finish()
{
    if (shown_ >= 0) {
        std::fputc('\n', stream_);
        std::fflush(stream_);
    }
    shown_ = -1;
}
