// The compiled resources, read back from this executable: the menu through
// the menu functions, the dialog templates and the icon from their binary
// form, all compared with the program's tables.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

// ---- Dialog templates ------------------------------------------------------

struct control {
    int id;
    std::string class_name;
    std::string text;
    DWORD styles;  // besides WS_CHILD | WS_VISIBLE
    int x, y, cx, cy;
};

bool operator==(const control& a, const control& b)
{
    return a.id == b.id && a.class_name == b.class_name && a.text == b.text &&
           a.styles == b.styles && a.x == b.x && a.y == b.y && a.cx == b.cx && a.cy == b.cy;
}

std::ostream& operator<<(std::ostream& out, const control& c)
{
    return out << c.id << ' ' << c.class_name << " \"" << c.text << "\" styles 0x" << std::hex
               << c.styles << std::dec << " at " << c.x << ',' << c.y << ' ' << c.cx << 'x' << c.cy;
}

struct dialog_template {
    DWORD style = 0;
    DWORD extended_style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, class_name, title, font;
    int point_size = 0;
    std::vector<control> controls;
    std::vector<DWORD> control_extended_styles;
    std::vector<int> extra_bytes;
};

// Reads the classic (not extended) DLGTEMPLATE layout.
class template_reader {
public:
    template_reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    std::size_t position() const { return at_; }

    WORD word()
    {
        if (at_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        WORD value;
        std::memcpy(&value, data_ + at_, 2);
        at_ += 2;
        return value;
    }
    DWORD dword()
    {
        WORD low = word();
        return low | static_cast<DWORD>(word()) << 16;
    }
    short coordinate() { return static_cast<short>(word()); }
    void align_dword() { at_ = (at_ + 3) & ~static_cast<std::size_t>(3); }
    // A zero-ended UTF-16 string (ASCII here), or an ordinal as "#n".
    std::string string_or_ordinal()
    {
        WORD first = word();
        if (first == 0xFFFF)
            return "#" + std::to_string(word());
        std::string text;
        for (WORD c = first; c != 0 && ok_; c = word())
            text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }
    void skip(std::size_t count) { at_ += count; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

std::string class_from_atom(const std::string& name)
{
    if (name == "#128")
        return "BUTTON";
    if (name == "#129")
        return "EDIT";
    if (name == "#130")
        return "STATIC";
    return name;
}

const unsigned char* resource_bytes(LPCSTR type, int id, std::size_t* size)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr)
        return nullptr;
    *size = SizeofResource(module, found);
    return static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
}

dialog_template load_dialog(int id)
{
    dialog_template t;
    std::size_t size = 0;
    const unsigned char* data = resource_bytes(MAKEINTRESOURCEA(5) /* RT_DIALOG */, id, &size);
    if (data == nullptr) {
        ADD_FAILURE() << "no dialog resource " << id;
        return t;
    }
    template_reader in(data, size);
    t.style = in.dword();
    if ((t.style & 0xFFFF) == 1 && (t.style >> 16) == 0xFFFF) {
        ADD_FAILURE() << "dialog " << id << " is an extended template";
        return t;
    }
    t.extended_style = in.dword();
    int count = in.word();
    t.x = in.coordinate();
    t.y = in.coordinate();
    t.cx = in.coordinate();
    t.cy = in.coordinate();
    t.menu = in.string_or_ordinal();
    t.class_name = in.string_or_ordinal();
    t.title = in.string_or_ordinal();
    if (t.style & DS_SETFONT) {
        t.point_size = in.word();
        t.font = in.string_or_ordinal();
    }
    for (int i = 0; i < count && in.ok(); ++i) {
        in.align_dword();
        control c;
        DWORD style = in.dword();
        t.control_extended_styles.push_back(in.dword());
        c.x = in.coordinate();
        c.y = in.coordinate();
        c.cx = in.coordinate();
        c.cy = in.coordinate();
        c.id = in.word();
        c.class_name = class_from_atom(in.string_or_ordinal());
        c.text = in.string_or_ordinal();
        int extra = in.word();
        t.extra_bytes.push_back(extra);
        in.skip(extra);
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE))
            << "control " << i << " of dialog " << id;
        c.styles = style & ~static_cast<DWORD>(WS_CHILD | WS_VISIBLE);
        t.controls.push_back(c);
    }
    EXPECT_TRUE(in.ok()) << "dialog " << id << " ends early";
    EXPECT_LE(in.position(), size);
    return t;
}

void expect_dialog_frame(const dialog_template& t, const std::string& title, int cx, int cy)
{
    EXPECT_EQ(t.style, static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(t.extended_style, 0u);
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.cx, cx);
    EXPECT_EQ(t.cy, cy);
    EXPECT_EQ(t.menu, "") << "no menu";
    EXPECT_EQ(t.class_name, "") << "the default dialog class";
    EXPECT_EQ(t.title, title);
    EXPECT_EQ(t.font, "MS Sans Serif");
    EXPECT_EQ(t.point_size, 8);
    for (DWORD extended : t.control_extended_styles)
        EXPECT_EQ(extended, 0u);
    for (int extra : t.extra_bytes)
        EXPECT_EQ(extra, 0);
}

void expect_controls(const std::vector<control>& actual, const std::vector<control>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "control " << i + 1 << " in template order";
}

constexpr DWORD label = SS_LEFT | WS_GROUP;
constexpr DWORD push = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD radio = BS_AUTORADIOBUTTON;

TEST(resources, settings_dialog_103)
{
    dialog_template t = load_dialog(103);
    expect_dialog_frame(t, "Settings", 264, 190);
    expect_controls(t.controls, {
        {1, "BUTTON", "Apply", BS_DEFPUSHBUTTON | WS_TABSTOP, 104, 162, 50, 14},
        {2, "BUTTON", "Cancel", push, 175, 162, 50, 14},
        {1005, "EDIT", "", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 39, 30, 40, 14},
        {65535, "STATIC", "Speed to fly-by your picture at:", label, 18, 14, 96, 8},
        {65535, "STATIC", "This number should be some percent of the speed of light.", label, 11, 52, 183, 8},
        {65535, "STATIC", "0% means not moving, and 99% means pretty close to the speed of light itself.",
         label, 12, 62, 244, 8},
        {65535, "STATIC", "50% would mean half the speed of light.", label, 12, 73, 126, 8},
        {1007, "BUTTON", "Faster", push, 103, 30, 50, 14},
        {1008, "BUTTON", "Slower", push, 159, 30, 50, 14},
        {65535, "STATIC", "%", label, 82, 33, 8, 8},
        {65535, "STATIC", "Direction to fly-by:", label, 19, 94, 57, 8},
        {1009, "BUTTON", "From left to right", radio, 34, 110, 66, 10},
        {1010, "BUTTON", "From top to bottom", radio, 34, 122, 75, 10},
        {1011, "BUTTON", "Straight at it", radio, 34, 133, 53, 10},
        {1012, "BUTTON", "Render It", push, 38, 162, 50, 14},
        {1013, "BUTTON", "Render Quality....", push, 141, 112, 83, 14},
    });
}

TEST(resources, render_quality_dialog_102)
{
    dialog_template t = load_dialog(102);
    expect_dialog_frame(t, "Render Quality", 213, 148);
    expect_controls(t.controls, {
        {1, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 40, 114, 50, 14},
        {2, "BUTTON", "Cancel", push, 104, 114, 50, 14},
        {1000, "BUTTON", "Low (Fastest render time. Good for quick previews.)", radio, 16, 28, 177, 10},
        {1001, "BUTTON", "Medium (Slower render time, but better quality result.)", radio, 16, 44, 181, 10},
        {1002, "BUTTON", "High (Slowest render time, best quality result).", radio, 16, 62, 158, 10},
        {65535, "STATIC", "Please select the desired quality of the result:", label, 10, 8, 142, 8},
        {1014, "BUTTON", "Ultra-high (use only if needed for final picture.)", radio, 16, 79, 159, 10},
        {1015, "BUTTON", "Smooth (no gaps)", radio, 16, 96, 72, 10},
    });
}

// ---- Menu ------------------------------------------------------------------

struct menu_entry {
    std::string text;
    UINT id;                            // 0 for a pop-up
    std::vector<menu_entry> entries;    // a pop-up's entries
};

std::vector<menu_entry> read_menu(HMENU menu)
{
    std::vector<menu_entry> entries;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[128] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, i, TRUE, &info)) {
            ADD_FAILURE() << "menu item " << i << " unreadable";
            continue;
        }
        EXPECT_EQ(info.fType, static_cast<UINT>(MFT_STRING)) << text << ": a plain text entry";
        EXPECT_EQ(info.fState, static_cast<UINT>(MFS_ENABLED | MFS_UNCHECKED)) << text;
        menu_entry entry{text, info.hSubMenu ? 0u : info.wID, {}};
        if (info.hSubMenu)
            entry.entries = read_menu(info.hSubMenu);
        entries.push_back(entry);
    }
    return entries;
}

void expect_menu(const std::vector<menu_entry>& actual, const std::vector<menu_entry>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].text, expected[i].text);
        EXPECT_EQ(actual[i].id, expected[i].id) << expected[i].text;
        expect_menu(actual[i].entries, expected[i].entries);
    }
}

TEST(resources, main_menu_101)
{
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101));
    ASSERT_NE(menu, nullptr);
    expect_menu(read_menu(menu), {
        {"&File", 0, {{"&Open...", 40006, {}}, {"&Save As...", 40002, {}}, {"&Quit", 40003, {}}}},
        {"&Settings!", 40012, {}},
        {"&View", 0, {{"&Original", 40008, {}}, {"&Relativity Version", 40009, {}}}},
        {"&Help!", 0, {{"Help...", 40015, {}}, {"About..", 40014, {}}}},
    });
    DestroyMenu(menu);
}

// ---- Icon ------------------------------------------------------------------

#pragma pack(push, 2)
struct icon_group_entry {
    BYTE width, height, colour_count, reserved;
    WORD planes, bit_count;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(resources, icon_104_is_one_32_by_32_image_of_16_colours)
{
    std::size_t size = 0;
    const unsigned char* group = resource_bytes(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, 104, &size);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(size, 6 + sizeof(icon_group_entry));
    WORD header[3];
    std::memcpy(header, group, sizeof header);
    EXPECT_EQ(header[0], 0);
    EXPECT_EQ(header[1], 1) << "an icon, not a cursor";
    ASSERT_EQ(header[2], 1) << "one image";
    icon_group_entry entry;
    std::memcpy(&entry, group + 6, sizeof entry);
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colour_count, 16);
    EXPECT_EQ(entry.bit_count, 4);

    std::size_t image_size = 0;
    const unsigned char* image = resource_bytes(MAKEINTRESOURCEA(3) /* RT_ICON */, entry.id, &image_size);
    ASSERT_NE(image, nullptr);
    BITMAPINFOHEADER info;
    ASSERT_GE(image_size, sizeof info);
    std::memcpy(&info, image, sizeof info);
    EXPECT_EQ(info.biWidth, 32);
    EXPECT_EQ(info.biHeight, 64) << "colour image and mask";
    EXPECT_EQ(info.biBitCount, 4);
    // Colour rows (16 bytes each) after the 16-entry palette, then the mask.
    const std::size_t pixels = sizeof info + 16 * 4;
    ASSERT_EQ(image_size, pixels + 32 * 16 + 32 * 4);
    bool used[16] = {};
    int transparent = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            bool clear = image[pixels + 32 * 16 + y * 4 + x / 8] & (0x80 >> (x % 8));
            unsigned char pair = image[pixels + y * 16 + x / 2];
            if (clear)
                ++transparent;
            else
                used[x % 2 == 0 ? pair >> 4 : pair & 15] = true;
        }
    }
    int colours = 0;
    for (bool u : used)
        colours += u;
    EXPECT_GE(colours, 5) << "a picture, not a plain square";
    EXPECT_GT(transparent, 0);
    EXPECT_LT(transparent, 32 * 32);

    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(104));
    EXPECT_NE(icon, nullptr);
}

}  // namespace
