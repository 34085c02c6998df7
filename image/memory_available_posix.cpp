#include <cstdio>
#include <cstring>

#include "image/raster.h"

// Linux tells it in /proc/meminfo (kB); elsewhere it cannot be told here.
std::uint64_t memory_available()
{
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (!file)
        return 0;
    unsigned long long available = 0;
    unsigned long long swap_free = 0;
    bool found = false;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        unsigned long long kb = 0;
        if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
            available = kb;
            found = true;
        } else if (std::sscanf(line, "SwapFree: %llu kB", &kb) == 1) {
            swap_free = kb;
        }
    }
    std::fclose(file);
    return found ? (available + swap_free) * 1024 : 0;
}
