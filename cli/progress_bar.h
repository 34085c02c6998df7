// The renderer's progress as a bar on a terminal.
#ifndef LUMIRUN_CLI_PROGRESS_BAR_H
#define LUMIRUN_CLI_PROGRESS_BAR_H

#include <cstdio>
#include <string>

#include "pipeline/job_progress.h"

// Overall percentage of a render: pass 1 at N % is N / 2, pass 2 at N % is
// 50 + N / 2.
int render_percent(int pass, int percent);

// "[#####...............]  25%": width characters between the brackets.
std::string progress_line(int percent, int width);

// A movie's line: the bar and percentage of the whole step (measuring every
// frame, then rendering every frame), then which frame of how many (counted
// from 1) and, while rendering, that frame's percentage:
// "[##......]  25%  frame 12 of 48,  40%".
std::string movie_progress_line(bool measuring, int frame, int frames, int frame_percent, int width);

// Sends the bar to a stream, redrawing it in place only when the percentage
// changes.
class progress_bar : public job_progress {
public:
    explicit progress_bar(std::FILE* stream) : stream_(stream) {}
    void update(int pass, int percent) override;
    // A movie's frame (from 0) at pass and percent, as movie_progress_line.
    void update_movie(bool measuring, int frame, int frames, int pass, int percent) override;
    // Shows the movie's last frame at 100 % and ends the line.
    void complete_movie(int frames) override;
    // Shows 100 % and ends the line.
    void complete() override;
    // Ends a bar left unfinished, so that a following message starts a line.
    void finish() override;

private:
    void show(int percent);
    void draw(const std::string& line);
    void show_movie(const std::string& line);

    std::FILE* stream_;
    int shown_ = -1;
    std::string shown_line_;
};

#endif
