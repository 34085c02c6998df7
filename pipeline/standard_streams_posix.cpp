#include "pipeline/standard_streams.h"

#include <unistd.h>

void use_binary_mode(std::FILE*) {}

bool is_terminal(std::FILE* stream)
{
    return isatty(fileno(stream)) != 0;
}
