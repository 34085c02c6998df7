#include "tests/jpeg_test_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "image/jpeg_library.h"

namespace fs = std::filesystem;

namespace test_support {

temp_folder::temp_folder()
{
    const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("lumirun-test-" + std::to_string(seed % 1000000007ULL)
                                                                + "-" + std::to_string(attempt));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            root_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

temp_folder::~temp_folder()
{
    std::error_code error;
    fs::remove_all(root_, error);
}

std::string temp_folder::path(const std::string& name) const
{
    return (fs::path(root_) / name).string();
}

std::vector<std::string> temp_folder::entries() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool file_exists(const std::string& path)
{
    std::error_code error;
    return fs::exists(path, error);
}

bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const bytes& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

std::string jpeg_test_image(const std::string& name)
{
    std::string folder;
#ifdef LUMIRUN_JPEG_TESTIMAGES
    folder = LUMIRUN_JPEG_TESTIMAGES;
#endif
    if (const char* chosen = std::getenv("LUMIRUN_JPEG_TESTIMAGES"))
        folder = chosen;
    const fs::path path = fs::path(folder) / name;
    // The callers go straight on to the file's bytes: without it they would
    // index an empty buffer or hand it to the library, whose default error
    // handler ends the whole run. The exception fails only the test at hand.
    if (folder.empty() || !file_exists(path.string()))
        throw std::runtime_error("libjpeg-turbo's test image " + name + " is missing from the folder \""
                                 + folder + "\" (run scripts/fetch-libjpeg-source.sh, or name the folder"
                                 + " in LUMIRUN_JPEG_TESTIMAGES)");
    return path.string();
}

namespace {

bytes take_memory_output(unsigned char* buffer, unsigned long size)
{
    bytes result(buffer, buffer + size);
    std::free(buffer);
    return result;
}

}  // namespace

// The library's default error handling ends the process: acceptable here,
// where only well-formed data is encoded.
bytes encode_jpeg(const jpeg_encoding& encoding, const bytes& samples)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(encoding.width);
    cinfo.image_height = static_cast<JDIMENSION>(encoding.height);
    cinfo.input_components = encoding.components;
    cinfo.in_color_space = static_cast<J_COLOR_SPACE>(encoding.in_color_space);
    jpeg_set_defaults(&cinfo);
    if (encoding.file_color_space >= 0)
        jpeg_set_colorspace(&cinfo, static_cast<J_COLOR_SPACE>(encoding.file_color_space));
    jpeg_set_quality(&cinfo, encoding.quality, TRUE);
    if (encoding.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(encoding.width) * encoding.components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(samples.data()) + cinfo.next_scanline * stride;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return take_memory_output(buffer, size);
}

bytes progressive_copy(const bytes& jpeg)
{
    jpeg_decompress_struct source{};
    jpeg_error_mgr source_error{};
    source.err = jpeg_std_error(&source_error);
    jpeg_create_decompress(&source);
    jpeg_mem_src(&source, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&source, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source);

    jpeg_compress_struct copy{};
    jpeg_error_mgr copy_error{};
    copy.err = jpeg_std_error(&copy_error);
    jpeg_create_compress(&copy);
    jpeg_copy_critical_parameters(&source, &copy);
    jpeg_simple_progression(&copy);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&copy, &buffer, &size);
    jpeg_write_coefficients(&copy, coefficients);
    jpeg_finish_compress(&copy);
    jpeg_destroy_compress(&copy);
    jpeg_finish_decompress(&source);
    jpeg_destroy_decompress(&source);
    return take_memory_output(buffer, size);
}

namespace {

// The offset of the last marker `code` (0xFF code), or npos.
std::size_t last_marker(const bytes& jpeg, unsigned char code)
{
    for (std::size_t i = jpeg.size(); i-- > 1;) {
        if (jpeg[i - 1] == 0xFF && jpeg[i] == code)
            return i - 1;
    }
    return std::string::npos;
}

}  // namespace

bytes with_declared_size(const bytes& jpeg, int width, int height)
{
    bytes crafted = jpeg;
    for (std::size_t i = 0; i + 9 < crafted.size(); ++i) {
        if (crafted[i] == 0xFF && (crafted[i + 1] == 0xC0 || crafted[i + 1] == 0xC2)) {
            crafted[i + 5] = static_cast<unsigned char>(height >> 8);
            crafted[i + 6] = static_cast<unsigned char>(height & 0xFF);
            crafted[i + 7] = static_cast<unsigned char>(width >> 8);
            crafted[i + 8] = static_cast<unsigned char>(width & 0xFF);
            break;
        }
    }
    return crafted;
}

bytes with_repeated_last_scan(const bytes& jpeg, int scans)
{
    const std::size_t scan = last_marker(jpeg, 0xDA);
    const std::size_t end = last_marker(jpeg, 0xD9);
    if (scan == std::string::npos || end == std::string::npos || end < scan)
        return jpeg;
    bytes crafted(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(end));
    for (int k = 0; k < scans; ++k)
        crafted.insert(crafted.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(scan),
                       jpeg.begin() + static_cast<std::ptrdiff_t>(end));
    crafted.insert(crafted.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(end), jpeg.end());
    return crafted;
}

jpeg_header_info read_header_info(const bytes& jpeg)
{
    jpeg_header_info info;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    info.ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    info.width = static_cast<int>(cinfo.image_width);
    info.height = static_cast<int>(cinfo.image_height);
    info.components = cinfo.num_components;
    info.progressive = cinfo.progressive_mode != FALSE;
    info.arithmetic = cinfo.arith_code != FALSE;
    info.jfif = cinfo.saw_JFIF_marker != FALSE;
    info.jfif_major = cinfo.JFIF_major_version;
    info.jfif_minor = cinfo.JFIF_minor_version;
    info.density_unit = cinfo.density_unit;
    info.x_density = cinfo.X_density;
    info.y_density = cinfo.Y_density;
    for (int i = 0; i < cinfo.num_components; ++i) {
        info.h_sampling.push_back(cinfo.comp_info[i].h_samp_factor);
        info.v_sampling.push_back(cinfo.comp_info[i].v_samp_factor);
    }
    info.all_quantizers_one = true;
    for (JQUANT_TBL* table : cinfo.quant_tbl_ptrs) {
        if (!table)
            continue;
        for (UINT16 value : table->quantval)
            info.all_quantizers_one = info.all_quantizers_one && value == 1;
    }
    jpeg_destroy_decompress(&cinfo);
    return info;
}

int frame_marker(const bytes& jpeg)
{
    // Skips marker segments by their lengths until a start-of-frame marker
    // (C0-CF except C4 DHT, C8 JPG and CC DAC).
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const int marker = jpeg[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker;
        at += 2 + (static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3]);
    }
    return 0;
}

}  // namespace test_support
