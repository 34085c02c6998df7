// The open and save choosers with the platform's real dialogs: a helper
// thread plays the user (reads what the chooser shows, types a name, answers
// the chooser's question), while the test thread sits in the chooser call.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "app/app_state.h"
#include "ui/file_choosers.h"

namespace {

constexpr int file_type_box = 1136;  // the chooser's "files of type" list
constexpr int file_name_box = 1148;  // the chooser's file name box
constexpr int read_only_box = 1040;  // the chooser's "open as read-only" check box

using clock_type = std::chrono::steady_clock;
constexpr std::chrono::seconds patience{15};

struct window_search {
    std::string title;
    HWND owner;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<window_search*>(context);
    char title[128] = {};
    GetWindowTextA(window, title, sizeof title);
    if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == search->owner &&
        (search->title.empty() || search->title == title)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible window of the thread owned by owner (with that title unless the
// title is empty), waiting for it a bounded time.
HWND wait_for_window(DWORD thread, const std::string& title, HWND owner)
{
    for (auto end = clock_type::now() + patience; clock_type::now() < end;) {
        window_search search{title, owner, nullptr};
        EnumThreadWindows(thread, match_window, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

bool wait_until_closed(HWND window)
{
    for (auto end = clock_type::now() + patience; clock_type::now() < end;) {
        if (!IsWindow(window))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::string window_text(HWND window)
{
    char text[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &length);
    return text;
}

// What the user saw and did in one chooser.
struct user_session {
    user_session(std::string chooser_title, std::string name, bool question = false)
        : title(std::move(chooser_title)), name_to_type(std::move(name)), expect_question(question)
    {
    }

    std::string title;         // the chooser's title to wait for
    std::string name_to_type;  // empty: cancel instead
    bool expect_question;      // answer the chooser's question with Yes
    // Filled in by the session:
    bool chooser_seen = false;
    HWND chooser_owner = nullptr;
    std::string file_type;
    std::string shown_name;
    bool read_only_box_made = false;
    bool read_only_box_shown = false;
    bool question_seen = false;
    bool closed = false;
};

// Plays one session on the helper thread against the test thread's chooser.
void play(user_session& s, DWORD chooser_thread, HWND owner)
{
    HWND chooser = wait_for_window(chooser_thread, s.title, owner);
    if (chooser == nullptr)
        return;
    s.chooser_seen = true;
    s.chooser_owner = GetWindow(chooser, GW_OWNER);
    s.file_type = window_text(GetDlgItem(chooser, file_type_box));
    s.shown_name = window_text(GetDlgItem(chooser, file_name_box));
    const HWND read_only = GetDlgItem(chooser, read_only_box);
    s.read_only_box_made = read_only != nullptr;
    s.read_only_box_shown = IsWindowVisible(read_only) != FALSE;
    if (s.name_to_type.empty()) {
        PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
    } else {
        SendMessageTimeoutA(GetDlgItem(chooser, file_name_box), WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(s.name_to_type.c_str()), SMTO_ABORTIFHUNG, 5000,
                            nullptr);
        PostMessageA(chooser, WM_COMMAND, IDOK, 0);
        if (s.expect_question) {
            HWND question = wait_for_window(chooser_thread, "", chooser);
            if (question != nullptr) {
                s.question_seen = true;
                PostMessageA(question, WM_COMMAND, IDYES, 0);
            }
        }
    }
    s.closed = wait_until_closed(chooser);
    if (!s.closed) {
        // An unexpected question would keep the chooser call waiting for
        // ever: answer it No, then cancel the chooser, so the test fails
        // instead of hanging.
        HWND question = wait_for_window(chooser_thread, "", chooser);
        if (question != nullptr) {
            PostMessageA(question, WM_COMMAND, IDNO, 0);
            wait_until_closed(question);
        }
        PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
    }
}

class file_choosers : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "lumirun-chooser-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        existing = folder + "\\picture.jpg";
        make_file(existing);
        owner = CreateWindowExA(0, "STATIC", "chooser owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(owner, nullptr);
        init_file_chooser(owner);
        std::memset(open_path, 0, sizeof open_path);
        std::memset(save_path, 0, sizeof save_path);
    }

    void TearDown() override
    {
        DestroyWindow(owner);
        for (const char* name : {"picture.jpg", "renamed.jpg", "fresh.jpg"})
            DeleteFileA((folder + "\\" + name).c_str());
        RemoveDirectoryA(folder.c_str());
    }

    static void make_file(const std::string& path)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "\xFF\xD8\xFF\xD9", 4, &written, nullptr);
        CloseHandle(file);
    }

    static bool exists(const std::string& path)
    {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Runs a chooser on this thread while the helper thread plays the user.
    int run_chooser(bool saving, char* path, user_session& session)
    {
        DWORD this_thread = GetCurrentThreadId();
        HWND chooser_owner = owner;
        std::thread user([&] { play(session, this_thread, chooser_owner); });
        int chosen = saving ? choose_save_file(owner, path) : choose_open_file(owner, path);
        user.join();
        EXPECT_TRUE(session.chooser_seen) << session.title << " chooser never appeared";
        EXPECT_TRUE(session.closed) << session.title << " chooser did not close";
        return chosen;
    }

    std::string folder;
    std::string existing;
    HWND owner = nullptr;
};

TEST_F(file_choosers, open_starts_empty_with_the_jpg_and_png_filter_and_returns_the_full_path)
{
    user_session s{"Open", existing};
    int chosen = run_chooser(false, open_path, s);
    EXPECT_NE(chosen, 0);
    EXPECT_EQ(s.chooser_owner, owner);
    EXPECT_EQ(s.file_type, "JPG and PNG Files (*.jpg;*.jpeg;*.png)");
    EXPECT_EQ(s.shown_name, "");
    EXPECT_FALSE(s.question_seen);
    EXPECT_STRCASEEQ(open_path, existing.c_str());
    EXPECT_EQ(save_path[0], '\0');
}

TEST_F(file_choosers, each_chooser_starts_from_its_own_last_path)
{
    user_session first{"Open", existing};
    ASSERT_NE(run_chooser(false, open_path, first), 0);

    user_session again{"Open", ""};
    EXPECT_EQ(run_chooser(false, open_path, again), 0) << "cancelled";
    EXPECT_NE(again.shown_name.find("picture.jpg"), std::string::npos) << again.shown_name;
    EXPECT_STRCASEEQ(open_path, existing.c_str()) << "a cancelled chooser keeps the path";

    user_session save{"Save As", ""};
    EXPECT_EQ(run_chooser(true, save_path, save), 0);
    EXPECT_EQ(save.shown_name, "") << "the save chooser has its own, still empty, path";
    EXPECT_EQ(save.file_type, "JPG Files (*.jpg)") << "saving stays JPEG after an open";
}

TEST_F(file_choosers, open_asks_before_naming_a_missing_file_and_creates_nothing)
{
    std::string missing = folder + "\\fresh.jpg";
    user_session s{"Open", missing, true};
    int chosen = run_chooser(false, open_path, s);
    EXPECT_TRUE(s.question_seen);
    EXPECT_NE(chosen, 0);
    EXPECT_STRCASEEQ(open_path, missing.c_str());
    EXPECT_FALSE(exists(missing));
}

TEST_F(file_choosers, open_hides_the_read_only_box_and_adds_jpg_to_a_bare_name)
{
    user_session s{"Open", folder + "\\picture"};
    int chosen = run_chooser(false, open_path, s);
    EXPECT_NE(chosen, 0);
    EXPECT_TRUE(s.read_only_box_made);
    EXPECT_FALSE(s.read_only_box_shown);
    EXPECT_FALSE(s.question_seen);
    EXPECT_STRCASEEQ(open_path, existing.c_str());
}

TEST_F(file_choosers, save_adds_the_jpg_extension_to_a_bare_name)
{
    user_session s{"Save As", folder + "\\renamed"};
    int chosen = run_chooser(true, save_path, s);
    EXPECT_NE(chosen, 0);
    EXPECT_FALSE(s.question_seen);
    EXPECT_STRCASEEQ(save_path, (folder + "\\renamed.jpg").c_str());
    EXPECT_EQ(open_path[0], '\0');
}

TEST_F(file_choosers, save_asks_before_replacing_an_existing_file)
{
    user_session s{"Save As", existing, true};
    int chosen = run_chooser(true, save_path, s);
    EXPECT_TRUE(s.question_seen);
    EXPECT_NE(chosen, 0);
    EXPECT_STRCASEEQ(save_path, existing.c_str());
}

}  // namespace
