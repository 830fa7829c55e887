// The levelshot's header: which image the game would load, and its size.
#include "level/levelshot.h"

// jpeglib.h needs FILE declared first.
#include <cstdio>

#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

#include "io/io.h"

namespace {

constexpr std::size_t tga_header_size = 18;
constexpr std::size_t png_header_size = 8 + 8 + 13; // signature, IHDR's length and type, IHDR
const unsigned char png_signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

unsigned le16(const unsigned char *p) {
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

std::uint32_t be32(const unsigned char *p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

struct jpeg_errors {
    jpeg_error_mgr mgr;
    std::jmp_buf back;
    bool warned;
};

// libjpeg's own handler would exit the program on a corrupt file.
void jpeg_give_up(j_common_ptr info) {
    std::longjmp(reinterpret_cast<jpeg_errors *>(info->err)->back, 1);
}

// A warning while reading a header means bytes are missing or corrupt.
void jpeg_note(j_common_ptr info, int level) {
    if (level < 0)
        reinterpret_cast<jpeg_errors *>(info->err)->warned = true;
}

// Nothing with a destructor lives here: longjmp lands in this frame.
bool read_jpeg_header(std::FILE *in, image_header &h) {
    jpeg_decompress_struct info{};
    jpeg_errors errors{};
    info.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = jpeg_give_up;
    errors.mgr.emit_message = jpeg_note;
    if (setjmp(errors.back)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, in);
    bool ok = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK && !errors.warned;
    h = {image_format::jpg, info.image_width, info.image_height, info.num_components};
    jpeg_destroy_decompress(&info);
    return ok;
}

image_header jpeg_header(int fd) {
    image_header h;
    file_owner in{fdopen(fd, "rb")};
    if (!in) {
        close(fd);
        return {};
    }
    return read_jpeg_header(in.get(), h) ? h : image_header{};
}

// IHDR must come first; the game reads every colour type and depth.
image_header png_header(const unsigned char *p) {
    if (be32(p + 8) != 13 || std::memcmp(p + 12, "IHDR", 4) != 0)
        return {};
    std::uint32_t width = be32(p + 16), height = be32(p + 20);
    if (width == 0 || height == 0)
        return {};
    return {image_format::png, width, height, 0};
}

// The types the game loads: 2 (true colour) and 10 (the same, run-length
// encoded) in 24 or 32 bits, 3 (grey) in 8 bits; never a colour map.  An
// uncompressed picture must be all there.
image_header tga_header(const unsigned char *p, std::uint64_t file_size) {
    unsigned id_length = p[0], map_type = p[1], type = p[2], bits = p[16];
    unsigned width = le16(p + 12), height = le16(p + 14);
    bool colour = (type == 2 || type == 10) && (bits == 24 || bits == 32);
    bool grey = type == 3 && bits == 8;
    if (map_type != 0 || !(colour || grey) || width == 0 || height == 0)
        return {};
    std::uint64_t pixels = type == 10 ? 1 : std::uint64_t{width} * height * (bits / 8);
    if (file_size < tga_header_size + id_length + pixels)
        return {};
    return {image_format::tga, width, height, 0};
}

} // namespace

image_header read_image_header(const char *path) {
    struct stat st;
    int fd = open_as_file(path, st);
    if (fd < 0)
        return {};
    unsigned char head[png_header_size] = {};
    long long n = read_range(fd, head, sizeof head, 0);
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return jpeg_header(fd); // it closes fd
    fd_owner owner{fd};
    if (n == static_cast<long long>(png_header_size) &&
        std::memcmp(head, png_signature, sizeof png_signature) == 0)
        return png_header(head);
    if (n >= static_cast<long long>(tga_header_size))
        return tga_header(head, static_cast<std::uint64_t>(st.st_size));
    return {};
}

std::string format_extension(image_format format) {
    switch (format) {
    case image_format::jpg:
        return "jpg";
    case image_format::tga:
        return "tga";
    case image_format::png:
        return "png";
    case image_format::none:
        break;
    }
    return "";
}
