// What a levelshot file holds, from its header alone: which of the image
// formats the arena menu shows from levelshots/<map> it is (the renderer
// tries .tga, .jpg, .jpeg, then .png), and the picture's size.
#pragma once

#include <cstdint>
#include <string>

enum class image_format { none, jpg, tga, png };

struct image_header {
    image_format format = image_format::none; // none: no image the game can load
    std::uint32_t width = 0, height = 0;
    int components = 0; // a JPEG's colour components; 0 for the other formats
};

// Reads only the header of the regular file at path: libjpeg's header read
// for a JPEG, the 18 bytes of a TGA (the uncompressed and run-length
// true-colour types and the uncompressed grey type the game loads, with
// no colour map), the IHDR of a PNG.  A format the game would refuse, a
// TGA shorter than its pixels, a file that cannot be read: none.
image_header read_image_header(const char *path);

// "jpg", "tga" or "png"; empty for none.
std::string format_extension(image_format format);
