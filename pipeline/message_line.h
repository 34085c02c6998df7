// Text from outside (an argument, another program's messages) made fit for
// one line of a message: a terminal must not take its bytes as commands.
#ifndef LUMIRUN_PIPELINE_MESSAGE_LINE_H
#define LUMIRUN_PIPELINE_MESSAGE_LINE_H

#include <string>

// text with each control character (a line end, an escape) written as \xHH.
std::string one_line(const std::string& text);

#endif
