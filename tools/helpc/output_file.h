// Writing an output whole or not at all.
#ifndef LUMIRUN_TOOLS_HELPC_OUTPUT_FILE_H
#define LUMIRUN_TOOLS_HELPC_OUTPUT_FILE_H

#include <string>

// Writes bytes to a temporary file beside path, then renames it over path:
// a reader sees the old file or the new one, never a part. Returns "" or a
// message; on failure path is untouched and the temporary file removed.
std::string write_file_whole(const std::string& path, const std::string& bytes);

#endif
