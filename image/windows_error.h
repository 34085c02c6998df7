// The system's text for a Windows error code, on one line without its full
// stop ("error N" when the system has none). Windows builds only.
#ifndef LUMIRUN_IMAGE_WINDOWS_ERROR_H
#define LUMIRUN_IMAGE_WINDOWS_ERROR_H

#include <string>

// code is a DWORD from GetLastError.
std::string windows_error_text(unsigned long code);

#endif
