// A stand-in for ffmpeg in lumirun-render's tests, natively and under Wine
// (where no ffmpeg runs): it reads the frames from its standard input and
// does what LUMIRUN_FAKE_FFMPEG says, to the file its last argument names
// (behind "file:").
//   movie   writes a file that begins as the -f container's does (default)
//   empty   writes nothing and exits 0
//   text    writes 8 bytes of text and exits 0
//   fail    prints LUMIRUN_FAKE_FFMPEG_SAYS on standard error and exits 1
//   linger  ignores Ctrl+C and termination, copies the frames slowly, and
//           after their end waits 2 s and creates LUMIRUN_FAKE_FFMPEG_MARKER:
//           only a program that is killed never gets there
// With LUMIRUN_FAKE_FFMPEG_ARGS set, it first writes its arguments there,
// one a line, its own name first.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The container's first bytes, as the -f argument names it.
std::string signature(const std::vector<std::string>& arguments)
{
    std::string format;
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == "-f")
            format = arguments[i + 1];  // the last -f is the output's
    if (format == "mp4")
        return std::string("\0\0\0\x18" "ftypisom", 12);
    if (format == "gif")
        return "GIF89a";
    return "\x1a\x45\xdf\xa3";
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    const std::vector<std::string> arguments(argv, argv + argc);
    const std::string listed = variable("LUMIRUN_FAKE_FFMPEG_ARGS");
    if (!listed.empty()) {
        std::FILE* list = std::fopen(listed.c_str(), "wb");
        for (const std::string& argument : arguments)
            std::fprintf(list, "%s\n", argument.c_str());
        std::fclose(list);
    }
    const std::string mode = variable("LUMIRUN_FAKE_FFMPEG");
    std::string output = arguments.back();
    if (output.compare(0, 5, "file:") == 0)
        output.erase(0, 5);
    if (mode == "linger") {
        std::signal(SIGINT, SIG_IGN);
        std::signal(SIGTERM, SIG_IGN);
    }

    std::FILE* movie = mode == "empty" || mode == "fail" ? nullptr : std::fopen(output.c_str(), "wb");
    if (movie && mode == "text")
        std::fputs("no movie", movie);
    else if (movie) {
        const std::string start = signature(arguments);
        std::fwrite(start.data(), 1, start.size(), movie);
    }
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) {
        if (movie && mode != "text")
            std::fwrite(buffer, 1, got, movie);
        if (mode == "linger")
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (movie)
        std::fclose(movie);
    if (mode == "fail") {
        std::fputs(variable("LUMIRUN_FAKE_FFMPEG_SAYS").c_str(), stderr);
        return 1;
    }
    if (mode == "linger") {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::FILE* marker = std::fopen(variable("LUMIRUN_FAKE_FFMPEG_MARKER").c_str(), "wb");
        if (marker)
            std::fclose(marker);
    }
    return 0;
}
