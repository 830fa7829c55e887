// The client's levelshot read from its TGA and written again as a JPEG.
#include <fcntl.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "io/io.h"
#include "shot/shot.h"

std::vector<unsigned char> read_tga_pixels(const std::string &path, int side) {
    const std::size_t pixels = static_cast<std::size_t>(side) * side;
    // The header, an image id of at most 255 bytes, then 3 or 4 bytes a pixel.
    const std::size_t most = 18 + 255 + pixels * 4;
    fd_owner file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return {};
    std::vector<unsigned char> bytes(most);
    long long got = read_range(file.fd, bytes.data(), most, 0);
    if (got < 18)
        return {};
    bytes.resize(static_cast<std::size_t>(got));
    const unsigned char *h = bytes.data();
    int width = h[12] | h[13] << 8, height = h[14] | h[15] << 8, depth = h[16] / 8;
    // Uncompressed true colour, no colour map.
    if (h[1] != 0 || h[2] != 2 || width != side || height != side || (depth != 3 && depth != 4))
        return {};
    std::size_t start = 18 + h[0];
    if (bytes.size() < start + pixels * depth)
        return {};
    bool top_first = (h[17] & 0x20) != 0;
    std::vector<unsigned char> rgb(pixels * 3);
    for (int y = 0; y < side; ++y) {
        const unsigned char *row =
            h + start + static_cast<std::size_t>(top_first ? y : side - 1 - y) * side * depth;
        for (int x = 0; x < side; ++x) {
            unsigned char *out = &rgb[(static_cast<std::size_t>(y) * side + x) * 3];
            const unsigned char *in = row + x * depth; // blue, green, red
            out[0] = in[2], out[1] = in[1], out[2] = in[0];
        }
    }
    return rgb;
}

namespace {

// libjpeg ends the process on an error unless told otherwise: here an
// error gives up the picture.
struct jpeg_errors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
};

[[noreturn]] void give_up(j_common_ptr info) {
    std::longjmp(reinterpret_cast<jpeg_errors *>(info->err)->back, 1);
}

// Nothing with a destructor lives here: longjmp lands in this frame.
unsigned long compress(const unsigned char *rgb, int width, int height, unsigned char **buffer) {
    jpeg_compress_struct c{};
    jpeg_errors errors{};
    c.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = give_up;
    unsigned long size = 0;
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&c);
        return 0;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, buffer, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(rgb + std::size_t{c.next_scanline} * width * 3);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return size;
}

} // namespace

std::string jpeg_of(const std::vector<unsigned char> &rgb, int width, int height) {
    if (width <= 0 || height <= 0 ||
        rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)
        return {};
    unsigned char *buffer = nullptr;
    unsigned long size = compress(rgb.data(), width, height, &buffer);
    std::string out(reinterpret_cast<char *>(buffer), buffer ? size : 0);
    std::free(buffer);
    return out;
}
