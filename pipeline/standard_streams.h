// What the front ends need of the standard streams that the platforms
// do differently.
#ifndef LUMIRUN_PIPELINE_STANDARD_STREAMS_H
#define LUMIRUN_PIPELINE_STANDARD_STREAMS_H

#include <cstdio>

// Bytes in and out unchanged (Windows would otherwise translate line ends).
void use_binary_mode(std::FILE* stream);

bool is_terminal(std::FILE* stream);

#endif
