// Turns the renderer's status texts into a progress bar on a terminal.
#ifndef LUMIRUN_CLI_PROGRESS_BAR_H
#define LUMIRUN_CLI_PROGRESS_BAR_H

#include <cstdio>
#include <string>

// Overall percentage of a render from one status text: "Pass 1/2: N% done."
// is N / 2, "Pass 2/2: N% done." is 50 + N / 2, "Relativistic Image
// Complete." is 100. -1 for any other text.
int render_percent(const char* status_text);

// "[#####...............]  25%": width characters between the brackets.
std::string progress_line(int percent, int width);

// Sends the bar to a stream, redrawing it in place only when the percentage
// changes, and ending the line when the render completes.
class progress_bar {
public:
    explicit progress_bar(std::FILE* stream) : stream_(stream) {}
    void update(const char* status_text);
    // Ends a bar left unfinished, so that a following message starts a line.
    void finish();

private:
    std::FILE* stream_;
    int shown_ = -1;
};

#endif
