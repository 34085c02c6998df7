// The Help command's path, the help engine's shutdown call and the About box.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/ui/ui_support.h"
#include "ui/help_about.h"
#include "ui/help_path.h"

using namespace ui_test;

namespace {

HWND fake_window()
{
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
}

// The help path for a command line, or "-" when there is none.
std::string help_path_for(const std::string& command_line, std::size_t size = 260)
{
    std::string path(size + 8, '#');
    if (!derive_help_path(command_line.c_str(), &path[0], size))
        return "-";
    EXPECT_EQ(path.substr(size), std::string(8, '#')) << "written past the buffer";
    return path.c_str();
}

TEST(help_path, is_the_command_line_lowered_and_cut_at_the_first_exe)
{
    EXPECT_EQ(help_path_for("D:\\Tools\\Viewer.EXE"), "d:\\tools\\viewer.hlp");
    // A quoted program path: the opening quotation mark is dropped, and only
    // that one (a later one stays, as everything else of the line does).
    EXPECT_EQ(help_path_for("\"D:\\Tools\\Viewer.exe\" Picture.JPG"), "d:\\tools\\viewer.hlp");
    EXPECT_EQ(help_path_for("\"\"D:\\V.exe"), "\"d:\\v.hlp");
    EXPECT_EQ(help_path_for("\"D:\\Tools\\Viewer\" x.exe"), "d:\\tools\\viewer\" x.hlp");
    EXPECT_EQ(help_path_for("C:\\Games.exe.d\\Bin\\Lumirun.exe"), "c:\\games.hlp");
    EXPECT_EQ(help_path_for("C:\\A\\Lumirun.Exe -x"), "c:\\a\\lumirun.hlp");
    // Only ASCII capitals change; other bytes pass as they are.
    EXPECT_EQ(help_path_for("C:\\Caf\xC9\\V.exe"), "c:\\caf\xC9\\v.hlp");
}

TEST(help_path, is_absent_without_exe)
{
    EXPECT_EQ(help_path_for("D:\\Tools\\Viewer"), "-");
    EXPECT_EQ(help_path_for("D:\\Tools\\Viewer.ex"), "-");
    EXPECT_EQ(help_path_for(""), "-");
    EXPECT_EQ(help_path_for("\""), "-");
    EXPECT_EQ(help_path_for("\"D:\\Tools\\Viewer\" Picture.jpg"), "-");
}

TEST(help_path, long_command_lines_stay_inside_the_buffer)
{
    // ".exe" ending at the 259th character: the path fits exactly.
    std::string fits = "C:\\" + std::string(252, 'D') + ".exe";
    ASSERT_EQ(fits.size(), 259u);
    EXPECT_EQ(help_path_for(fits + " and a long argument" + std::string(400, 'x')),
              "c:\\" + std::string(252, 'd') + ".hlp");

    // One character more and the path no longer fits: no help, no overflow.
    EXPECT_EQ(help_path_for("C:\\" + std::string(253, 'D') + ".exe"), "-");
    EXPECT_EQ(help_path_for(std::string(1000, 'A') + ".exe"), "-");
    // Cut through the middle of ".exe".
    EXPECT_EQ(help_path_for(std::string(257, 'A') + ".exe"), "-");
    // A small buffer works the same way; the dropped quotation mark takes
    // no room in it.
    EXPECT_EQ(help_path_for("AB.EXE", 7), "ab.hlp");
    EXPECT_EQ(help_path_for("\"AB.EXE\"", 7), "ab.hlp");
    EXPECT_EQ(help_path_for("AB.EXE", 6), "-");
    EXPECT_EQ(help_path_for("AB.EXE", 0), "-");
}

class help_command : public testing::Test {
protected:
    void TearDown() override { save_command_line(); }
    void set_command_line(const char* text)
    {
        std::strncpy(saved_command_line, text, sizeof saved_command_line - 1);
        saved_command_line[sizeof saved_command_line - 1] = '\0';
    }
    platform_recorder recorder;
};

TEST_F(help_command, opens_the_index_of_the_derived_help_file)
{
    set_command_line("\"D:\\Tools\\Viewer.exe\" Picture.jpg");
    show_help_index(fake_window());
    ASSERT_EQ(recorder.help_calls.size(), 1u);
    EXPECT_EQ(recorder.help_calls[0].owner, fake_window());
    EXPECT_EQ(recorder.help_calls[0].file, "d:\\tools\\viewer.hlp");
    EXPECT_EQ(recorder.help_calls[0].command, static_cast<UINT>(HELP_INDEX));
    EXPECT_EQ(recorder.help_calls[0].data, 0u);
    EXPECT_STREQ(saved_command_line, "\"D:\\Tools\\Viewer.exe\" Picture.jpg") << "left unchanged";
}

TEST_F(help_command, does_nothing_without_exe)
{
    set_command_line("D:\\Tools\\Viewer Picture.jpg");
    show_help_index(fake_window());
    EXPECT_TRUE(recorder.help_calls.empty());
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(help_command, close_help_names_jpg_hlp_whatever_was_opened)
{
    set_command_line("D:\\Tools\\Viewer.exe");
    show_help_index(fake_window());
    close_help(fake_window());
    ASSERT_EQ(recorder.help_calls.size(), 2u);
    EXPECT_EQ(recorder.help_calls[1].owner, fake_window());
    EXPECT_EQ(recorder.help_calls[1].file, "jpg.hlp");
    EXPECT_EQ(recorder.help_calls[1].command, static_cast<UINT>(HELP_QUIT));
    EXPECT_EQ(recorder.help_calls[1].data, 0u);
}

TEST(saved_command_line_copy, holds_the_process_command_line)
{
    saved_command_line[0] = '\0';
    save_command_line();
    EXPECT_EQ(std::string(saved_command_line), std::string(GetCommandLineA()).substr(0, 259));
}

TEST(about_box, shows_four_blocks_with_the_information_icon)
{
    platform_recorder recorder;
    show_about_box(fake_window());
    ASSERT_EQ(recorder.boxes.size(), 1u);
    const message_box_record& box = recorder.boxes[0];
    EXPECT_EQ(box.owner, fake_window());
    EXPECT_EQ(box.caption, "Lumirun About");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_ICONINFORMATION | MB_OK));

    std::vector<std::string> blocks;
    std::string text = box.text;
    for (std::size_t start = 0;;) {
        std::size_t end = text.find("\n\n", start);
        blocks.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    ASSERT_EQ(blocks.size(), 4u) << text;
    EXPECT_EQ(blocks[0], "Lumirun JPG Version 1.1");
    EXPECT_FALSE(blocks[1].empty());
    EXPECT_EQ(blocks[1].find('\n'), std::string::npos) << "the notice is one line";
    // The project's page when the build names one, else the README.
#ifdef LUMIRUN_HOMEPAGE
    EXPECT_EQ(blocks[2], "For the latest in fun things to see and try\nwith Physics, visit us at");
    EXPECT_EQ(blocks[3], LUMIRUN_HOMEPAGE);
#else
    EXPECT_EQ(blocks[2], "For the latest in fun things to see and try\nwith Physics, read");
    EXPECT_EQ(blocks[3], "README.txt beside the program.");
#endif
}

}  // namespace
