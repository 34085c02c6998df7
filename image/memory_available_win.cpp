#include <windows.h>

#include "image/raster.h"

// What can still be committed: memory that a large allocation would take
// from physical memory and the page file together.
std::uint64_t memory_available()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return status.ullAvailPageFile;
}
