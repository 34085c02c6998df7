// Files for the JPEG tests: a private folder, whole-file reads and writes,
// JPEG data made in memory with the library, and libjpeg-turbo's own test
// images.
#ifndef LUMIRUN_TESTS_JPEG_TEST_SUPPORT_H
#define LUMIRUN_TESTS_JPEG_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

using bytes = std::vector<unsigned char>;

// A new empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    std::string path(const std::string& name) const;
    // Names of the entries, sorted.
    std::vector<std::string> entries() const;

private:
    std::string root_;
};

bool file_exists(const std::string& path);
bytes read_file(const std::string& path);
void write_file(const std::string& path, const bytes& content);

// Path of one of libjpeg-turbo's test images (testorig.jpg, testimgari.jpg,
// testimgint.jpg, testorig12.jpg), from the folder the build was configured
// with or, when set, the environment's LUMIRUN_JPEG_TESTIMAGES. A missing
// image throws std::runtime_error naming the folder: the test at hand fails
// and the run goes on.
std::string jpeg_test_image(const std::string& name);

struct jpeg_encoding {
    int width = 0;
    int height = 0;
    int components = 3;
    int in_color_space = 2;    // J_COLOR_SPACE of the samples (JCS_RGB)
    int file_color_space = -1; // J_COLOR_SPACE written, -1: the library's choice
    int quality = 100;
    bool progressive = false;
};

// Encodes width * height * components interleaved samples.
bytes encode_jpeg(const jpeg_encoding& encoding, const bytes& samples);

// The same coefficients as a progressive file: decodes to the same pixels.
bytes progressive_copy(const bytes& jpeg);

// The same data with the frame header declaring another size (and so, for
// a larger one, far too little scan data).
bytes with_declared_size(const bytes& jpeg, int width, int height);

// The same data with its last scan repeated until the file has `scans`
// scans more: a crafted progressive file (the decoder takes the repeats).
bytes with_repeated_last_scan(const bytes& jpeg, int scans);

// What the header of JPEG data says.
struct jpeg_header_info {
    bool ok = false;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    bool arithmetic = false;
    bool jfif = false;
    int jfif_major = 0;
    int jfif_minor = 0;
    int density_unit = -1;
    int x_density = 0;
    int y_density = 0;
    std::vector<int> h_sampling;
    std::vector<int> v_sampling;
    bool all_quantizers_one = false;
};
jpeg_header_info read_header_info(const bytes& jpeg);

// The start-of-frame marker type (0xC0 baseline, 0xC2 progressive, ...), or 0.
int frame_marker(const bytes& jpeg);

}  // namespace test_support

#endif
