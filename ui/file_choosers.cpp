#include "ui/file_choosers.h"

#include <commdlg.h>

#include <cstring>

#include "app/app_state.h"
#include "ui/platform_calls.h"

namespace {

// The one request record that both choosers share for the whole run.
OPENFILENAMEA file_chooser;

// Pictures open from JPEG and PNG files; saved pictures are JPEG files.
const char open_filter[] = "JPG and PNG Files (*.jpg;*.jpeg;*.png)\0*.jpg;*.jpeg;*.png\0";
const char save_filter[] = "JPG Files (*.jpg)\0*.jpg\0";

}  // namespace

void init_file_chooser(HWND owner)
{
    std::memset(&file_chooser, 0, sizeof file_chooser);
    // The record without the Windows 2000 additions, whose size a 32-bit
    // build knows as 76; the platform accepts this size in both builds.
    file_chooser.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    file_chooser.hwndOwner = owner;
    file_chooser.lpstrFilter = save_filter;
    file_chooser.nFilterIndex = 0;
    file_chooser.nMaxFile = path_buffer_size;
    file_chooser.lpstrDefExt = "jpg";
}

int choose_open_file(HWND owner, char* path)
{
    file_chooser.hwndOwner = owner;
    file_chooser.lpstrFile = path;
    file_chooser.lpstrFilter = open_filter;
    file_chooser.Flags = OFN_HIDEREADONLY | OFN_CREATEPROMPT;
    return open_file_name_call(&file_chooser);
}

int choose_save_file(HWND owner, char* path)
{
    file_chooser.hwndOwner = owner;
    file_chooser.lpstrFile = path;
    file_chooser.lpstrFilter = save_filter;
    file_chooser.Flags = OFN_OVERWRITEPROMPT;
    return save_file_name_call(&file_chooser);
}
