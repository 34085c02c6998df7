#include "image/temporary_files.h"

#include <windows.h>

namespace {

// Runs on a thread of its own. Ends the process at once with the status
// the default handler gives, STATUS_CONTROL_C_EXIT: no exit-time clean-up
// runs beside the threads stopped mid-write (and under Wine the default
// handler's exit gives status 0).
BOOL WINAPI on_console_event(DWORD)
{
    remove_registered_temporaries();
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
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
