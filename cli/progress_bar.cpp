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

std::string movie_progress_line(bool measuring, int frame, int frames, int frame_percent, int width)
{
    const int whole = measuring ? frame * 100 / frames : (frame * 100 + frame_percent) / frames;
    std::string line = progress_line(whole, width) + (measuring ? "  measuring " : "  frame ")
                       + std::to_string(frame + 1) + " of " + std::to_string(frames);
    if (!measuring) {
        char number[8];
        std::snprintf(number, sizeof number, ", %3d%%", frame_percent);
        line += number;
    }
    return line;
}

void progress_bar::update_movie(bool measuring, int frame, int frames, int pass, int percent)
{
    show_movie(movie_progress_line(measuring, frame, frames, render_percent(pass, percent), 40));
}

void progress_bar::complete_movie(int frames)
{
    show_movie(movie_progress_line(false, frames - 1, frames, 100, 40));
    finish();
}

void progress_bar::show_movie(const std::string& line)
{
    if (line == shown_line_)
        return;
    // The line may have grown or shrunk: blanks clear what a longer one left.
    const std::size_t old_size = shown_line_.size();
    shown_line_ = line;
    shown_ = 0;
    draw(line + std::string(old_size > line.size() ? old_size - line.size() : 0, ' '));
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
    draw(progress_line(percent, 40));
}

void progress_bar::draw(const std::string& line)
{
    std::fprintf(stream_, "\r%s", line.c_str());
    std::fflush(stream_);
}

void progress_bar::finish()
{
    if (shown_ >= 0) {
        std::fputc('\n', stream_);
        std::fflush(stream_);
    }
    shown_ = -1;
    shown_line_.clear();
}
