// The end-to-end tests' eyes inside Wine: a console program that reads one
// command per line on standard input (fields separated by tabs) and answers
// each with one line of JSON. It only looks at other processes' windows and
// posts to them; keys and clicks come from the X server, as a user's would.
//
// Commands:
//   windows                      visible top-level windows
//   children HWND                child windows of HWND (text, id, check state)
//   window HWND                  rectangles, scroll-bar styles, status text
//   idle HWND MS                 a WM_NULL round trip, bounded by MS
//   post HWND MESSAGE WPARAM LPARAM
//   send HWND MESSAGE WPARAM LPARAM  (no pointers) the reply, bounded
//   start COMMAND-LINE           a program started with exactly that line
//   wait PID MS                  whether a program started here ended, and
//                                its exit code
//   kill PID                     ends a program started here
//   metrics                      default font and scroll-bar metrics
//   decode JPEG PPM              the picture as the program holds it
//   render JPEG PPM DIRECTION SPEED QUALITY X Y [SAVED]
//                                the relativity version for those settings
//                                and observer, as the program renders it;
//                                also saved as "Save As..." saves it
//   quit
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/picture_files.h"
#include "app/picture_store.h"
#include "app/render_view.h"

namespace {

constexpr UINT reply_timeout_ms = 2000;

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            // Bytes from 0x80 on as they are: the UTF-8 code page of the
            // probe's manifest makes every text UTF-8.
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string number(long long value)
{
    return std::to_string(value);
}

std::string handle_text(HWND window)
{
    return number(static_cast<long long>(reinterpret_cast<std::uintptr_t>(window)));
}

HWND parse_handle(const std::string& text)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(text.c_str(), nullptr, 10)));
}

std::string rect_json(const RECT& r)
{
    return "[" + number(r.left) + "," + number(r.top) + "," + number(r.right) + "," + number(r.bottom) + "]";
}

// WM_GETTEXT across processes (Wine marshals it), bounded in time.
std::string window_text(HWND window)
{
    char buffer[1024] = {};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, reply_timeout_ms, &result)) {
        return "";
    }
    return buffer;
}

std::string class_name(HWND window)
{
    char buffer[256] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

BOOL CALLBACK collect(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::string list_windows()
{
    std::vector<HWND> windows;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
    std::string out = "[";
    for (HWND window : windows) {
        if (!IsWindowVisible(window)) continue;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        RECT r{};
        GetWindowRect(window, &r);
        if (out.size() > 1) out += ",";
        out += "{\"hwnd\":" + handle_text(window) + ",\"owner\":" + handle_text(GetWindow(window, GW_OWNER)) +
               ",\"pid\":" + number(pid) + ",\"class\":" + quoted(class_name(window)) +
               ",\"title\":" + quoted(window_text(window)) + ",\"rect\":" + rect_json(r) + "}";
    }
    return out + "]";
}

std::string list_children(HWND parent)
{
    std::vector<HWND> windows;
    EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&windows));
    std::string out = "[";
    for (HWND window : windows) {
        RECT r{};
        GetWindowRect(window, &r);
        DWORD_PTR check = 0;
        const std::string cls = class_name(window);
        if (cls == "Button") {
            SendMessageTimeoutA(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, reply_timeout_ms, &check);
        }
        if (out.size() > 1) out += ",";
        out += "{\"hwnd\":" + handle_text(window) + ",\"id\":" + number(GetDlgCtrlID(window)) +
               ",\"class\":" + quoted(cls) + ",\"text\":" + quoted(window_text(window)) +
               ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") +
               ",\"enabled\":" + (IsWindowEnabled(window) ? "true" : "false") + ",\"check\":" +
               number(static_cast<long long>(check)) + ",\"rect\":" + rect_json(r) + "}";
    }
    return out + "]";
}

HWND find_status_bar(HWND window)
{
    return FindWindowExA(window, nullptr, "msctls_statusbar32", nullptr);
}

std::string describe_window(HWND window)
{
    if (!IsWindow(window)) return "{\"exists\":false}";
    RECT outer{};
    GetWindowRect(window, &outer);
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    std::string out = "{\"exists\":true,\"rect\":" + rect_json(outer) + ",\"client\":[" + number(origin.x) +
                      "," + number(origin.y) + "," + number(client.right) + "," + number(client.bottom) +
                      "],\"hscroll\":" + ((style & WS_HSCROLL) ? "true" : "false") +
                      ",\"vscroll\":" + ((style & WS_VSCROLL) ? "true" : "false");
    if (HWND bar = find_status_bar(window)) {
        RECT r{};
        GetWindowRect(bar, &r);
        out += ",\"status\":" + quoted(window_text(bar)) + ",\"status_rect\":" + rect_json(r);
    }
    return out + "}";
}

std::string idle(HWND window, UINT timeout_ms)
{
    DWORD_PTR result = 0;
    const bool answered =
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeout_ms, &result) != 0;
    return std::string("{\"idle\":") + (answered ? "true" : "false") + "}";
}

std::string metrics()
{
    HDC dc = GetDC(nullptr);
    TEXTMETRICA text{};
    GetTextMetricsA(dc, &text);
    ReleaseDC(nullptr, dc);
    return "{\"tm_height\":" + number(text.tmHeight) + ",\"tm_ave_char_width\":" + number(text.tmAveCharWidth) +
           ",\"cx_vscroll\":" + number(GetSystemMetrics(SM_CXVSCROLL)) +
           ",\"cy_hscroll\":" + number(GetSystemMetrics(SM_CYHSCROLL)) +
           ",\"cx_hthumb\":" + number(GetSystemMetrics(SM_CXHTHUMB)) +
           ",\"cy_vthumb\":" + number(GetSystemMetrics(SM_CYVTHUMB)) +
           ",\"cx_frame\":" + number(GetSystemMetrics(SM_CXFRAME)) +
           ",\"cy_frame\":" + number(GetSystemMetrics(SM_CYFRAME)) +
           ",\"cy_caption\":" + number(GetSystemMetrics(SM_CYCAPTION)) +
           ",\"cx_size\":" + number(GetSystemMetrics(SM_CXSIZE)) + "}";
}

// A raster as a binary PPM in red, green, blue order.
bool write_ppm(const raster& image, const std::string& path)
{
    if (!image.pixels) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fprintf(file, "P6\n%d %d\n255\n", image.width, image.height);
    const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 3;
    std::vector<unsigned char> row(row_bytes);
    bool ok = true;
    for (std::int32_t y = 0; y < image.height && ok; ++y) {
        const unsigned char* source = image.pixels.get() + row_bytes * static_cast<std::size_t>(y);
        for (std::size_t i = 0; i < row_bytes; i += 3) {
            row[i] = source[i + 2];
            row[i + 1] = source[i + 1];
            row[i + 2] = source[i];
        }
        ok = std::fwrite(row.data(), 1, row_bytes, file) == row_bytes;
    }
    return std::fclose(file) == 0 && ok;
}

std::string decode(const std::string& jpeg, const std::string& ppm)
{
    free_images();
    const bool ok = load_picture(jpeg.c_str()) == 0 && write_ppm(source_image, ppm);
    return std::string("{\"ok\":") + (ok ? "true" : "false") + "}";
}

std::string render(const std::vector<std::string>& f)
{
    free_images();
    if (load_picture(f[1].c_str()) != 0) return "{\"ok\":false}";
    set_observer(std::atoi(f[6].c_str()), std::atoi(f[7].c_str()));
    const float speed = std::strtof(f[4].c_str(), nullptr);
    render_relativistic(static_cast<fly_by_direction>(std::atoi(f[3].c_str())), static_cast<double>(speed),
                        static_cast<quality_level>(std::atoi(f[5].c_str())));
    bool ok = write_ppm(rendered_image, f[2]);
    if (ok && f.size() == 9) ok = save_picture(f[8].c_str()) == 0;
    return std::string("{\"ok\":") + (ok ? "true" : "false") + ",\"width\":" + number(rendered_image.width) +
           ",\"height\":" + number(rendered_image.height) + "}";
}

// Programs started by "start", by process id.
std::map<DWORD, HANDLE> started;

// The command line goes to CreateProcessA as it is, so that a test decides
// whether the program's path is quoted (as Explorer quotes it) or not.
std::string start(const std::string& command_line)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return "{\"ok\":false}";
    CloseHandle(info.hThread);
    started[info.dwProcessId] = info.hProcess;
    return "{\"ok\":true,\"pid\":" + number(info.dwProcessId) + "}";
}

std::string wait_for(DWORD pid, DWORD timeout_ms)
{
    auto program = started.find(pid);
    DWORD code = 0;
    if (program == started.end() || WaitForSingleObject(program->second, timeout_ms) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(program->second, &code))
        return "{\"exited\":false}";
    return "{\"exited\":true,\"code\":" + number(code) + "}";
}

std::string kill(DWORD pid)
{
    auto program = started.find(pid);
    if (program == started.end())
        return "{\"ok\":false}";
    TerminateProcess(program->second, 1);
    WaitForSingleObject(program->second, 10000);
    CloseHandle(program->second);
    started.erase(program);
    return "{\"ok\":true}";
}

std::string send(const std::vector<std::string>& f)
{
    DWORD_PTR result = 0;
    const bool answered =
        SendMessageTimeoutA(parse_handle(f[1]), std::strtoul(f[2].c_str(), nullptr, 0),
                            std::strtoull(f[3].c_str(), nullptr, 0), std::strtoll(f[4].c_str(), nullptr, 0),
                            SMTO_ABORTIFHUNG, 5000, &result) != 0;
    return std::string("{\"ok\":") + (answered ? "true" : "false") + ",\"result\":" +
           number(static_cast<long long>(result)) + "}";
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::string answer(const std::vector<std::string>& f)
{
    const std::string& command = f[0];
    if (command == "windows") return list_windows();
    if (command == "children" && f.size() == 2) return list_children(parse_handle(f[1]));
    if (command == "window" && f.size() == 2) return describe_window(parse_handle(f[1]));
    if (command == "idle" && f.size() == 3) return idle(parse_handle(f[1]), std::atoi(f[2].c_str()));
    if (command == "post" && f.size() == 5) {
        const BOOL ok = PostMessageA(parse_handle(f[1]), std::strtoul(f[2].c_str(), nullptr, 0),
                                     std::strtoull(f[3].c_str(), nullptr, 0), std::strtoll(f[4].c_str(), nullptr, 0));
        return std::string("{\"ok\":") + (ok ? "true" : "false") + "}";
    }
    if (command == "send" && f.size() == 5) return send(f);
    if (command == "start" && f.size() == 2) return start(f[1]);
    if (command == "wait" && f.size() == 3)
        return wait_for(std::strtoul(f[1].c_str(), nullptr, 10), std::strtoul(f[2].c_str(), nullptr, 10));
    if (command == "kill" && f.size() == 2) return kill(std::strtoul(f[1].c_str(), nullptr, 10));
    if (command == "metrics") return metrics();
    if (command == "decode" && f.size() == 3) return decode(f[1], f[2]);
    if (command == "render" && (f.size() == 8 || f.size() == 9)) return render(f);
    return "{\"error\":" + quoted("unknown command: " + command) + "}";
}

}  // namespace

int main()
{
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        const auto fields = split(text);
        if (fields[0] == "quit") break;
        std::printf("%s\n", answer(fields).c_str());
        std::fflush(stdout);
    }
    return 0;
}
