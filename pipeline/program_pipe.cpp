#include "pipeline/program_pipe.h"

#include "pipeline/message_line.h"

namespace {

constexpr std::size_t kept_bytes = 64 * 1024;

}  // namespace

void keep_tail(std::string* tail, const char* data, std::size_t size)
{
    tail->append(data, size);
    if (tail->size() > kept_bytes)
        tail->erase(0, tail->size() - kept_bytes);
}

std::string last_lines(const std::string& text, std::size_t count)
{
    std::vector<std::string> lines(1);
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            if (!lines.back().empty())
                lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    if (lines.back().empty())
        lines.pop_back();
    std::string joined;
    for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        joined += (joined.empty() ? "" : " / ") + one_line(lines[i]);
    return joined;
}
