#include "image/temporary_files.h"

#include <windows.h>

namespace {

// Runs on a thread of its own; returning FALSE lets the default handler end
// the process (status STATUS_CONTROL_C_EXIT).
BOOL WINAPI on_console_event(DWORD)
{
    remove_registered_temporaries();
    return FALSE;
}

}  // namespace

void remove_file_now(const char* path)
{
    DeleteFileA(path);
}

void stop_program_now(std::intptr_t id)
{
    const auto process = reinterpret_cast<HANDLE>(id);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
}

void remove_temporaries_on_signals()
{
    SetConsoleCtrlHandler(on_console_event, TRUE);
}
