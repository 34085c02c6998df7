#include "image/temporary_files.h"

#include <cerrno>
#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

namespace {

void on_signal(int signal_number)
{
    remove_registered_temporaries();
    // The handler was reset to the default on entry and the signal is held
    // until it returns: then it ends the program as it would have.
    raise(signal_number);
}

}  // namespace

void remove_file_now(const char* path)
{
    unlink(path);
}

void stop_program_now(std::intptr_t id)
{
    const auto pid = static_cast<pid_t>(id);
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void remove_temporaries_on_signals()
{
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = on_signal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signal_number, &action, nullptr);
    }
    signal(SIGXFSZ, SIG_IGN);
}
