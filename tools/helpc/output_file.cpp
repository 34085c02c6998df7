#include "output_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

std::string write_file_whole(const std::string& path, const std::string& bytes)
{
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out)
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (out)
            out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return "cannot write " + temporary;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::remove(temporary.c_str());
        return "cannot replace " + path + ": " + error.message();
    }
    return "";
}
