#include "pipeline/standard_streams.h"

#include <fcntl.h>
#include <io.h>

void use_binary_mode(std::FILE* stream)
{
    _setmode(_fileno(stream), _O_BINARY);
}

bool is_terminal(std::FILE* stream)
{
    return _isatty(_fileno(stream)) != 0;
}
