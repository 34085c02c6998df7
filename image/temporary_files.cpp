#include "image/temporary_files.h"

#include <atomic>
#include <cstring>

namespace {

// A slot is free (0), being filled or emptied (1), or holds a path (2).
constexpr int slot_count = 16;
constexpr std::size_t path_room = 4096;
std::atomic<int> slot_state[slot_count];
char slot_path[slot_count][path_room];
// The program writing one of them; 0 when none runs.
std::atomic<std::intptr_t> child_program{0};

}  // namespace

bool register_temporary(const std::string& path)
{
    if (path.size() >= path_room)
        return false;
    for (int i = 0; i < slot_count; ++i) {
        int expected = 0;
        if (!slot_state[i].compare_exchange_strong(expected, 1))
            continue;
        std::memcpy(slot_path[i], path.c_str(), path.size() + 1);
        slot_state[i].store(2);
        return true;
    }
    return false;
}

void unregister_temporary(const std::string& path)
{
    for (int i = 0; i < slot_count; ++i) {
        int expected = 2;
        if (!slot_state[i].compare_exchange_strong(expected, 1))
            continue;
        if (path == slot_path[i]) {
            slot_state[i].store(0);
            return;
        }
        slot_state[i].store(2);
    }
}

void register_child_program(std::intptr_t id)
{
    child_program.store(id);
}

bool unregister_child_program()
{
    return child_program.exchange(0) != 0;
}

void remove_registered_temporaries()
{
    // Whoever takes the id waits for the program: the handler or the caller
    // of unregister_child_program, never both.
    const std::intptr_t child = child_program.exchange(0);
    if (child != 0)
        stop_program_now(child);
    for (int i = 0; i < slot_count; ++i)
        if (slot_state[i].load() == 2)
            remove_file_now(slot_path[i]);
}
