// Each file spoiled one way per row; the problems come in the form's order.
// Then the levelshot in each format, right or not.
#include "valid/level_checks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>

#include "level/plan.h"

#include "support.h"

TEST(LevelProblems, EachSpoiledHeaderFoundInOrder) {
    temp_dir work;
    const std::string bsp = test_bsp(), shot = jpeg(128);
    using p = level_problem;
    const std::vector<p> all = {p::bsp_not_level, p::aas_not_navigation, p::levelshot_not_128};
    const struct {
        std::string bsp, aas, shot; // an empty AAS or levelshot is not asked about
        std::vector<p> found;
    } rows[] = {
        {bsp, test_aas(), shot, {}},
        {bsp, test_aas(test_bsp_sum, 4), "", {}}, // version 4 is stored plain
        {bsp, test_aas(test_bsp_sum + 1), "", {p::aas_for_another_bsp}},
        {test_bsp("RBSP"), test_aas(test_bsp_sum, 5, "EAAZ"), jpeg(128, true), all},
        {test_bsp("IBSP", 47), test_aas(test_bsp_sum, 6), jpeg(64), all},
        {bsp.substr(0, 143), test_aas().substr(0, 123), shot.substr(0, shot.find("\xff\xda") + 12),
         all}, // the JPEG cut in its last marker
    };
    for (const auto &r : rows) {
        write_file("b", r.bsp);
        write_file("a", r.aas);
        write_file("s", r.shot);
        EXPECT_EQ(level_problems("b", r.aas.empty() ? "" : "a", r.shot.empty() ? "" : "s"), r.found)
            << &r - rows;
    }
}

namespace {

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string png_chunk(const std::string &type, const std::string &data) {
    std::string typed = type + data;
    auto crc = crc32(0, reinterpret_cast<const Bytef *>(typed.data()), uInt(typed.size()));
    return be32(uint32_t(data.size())) + typed + be32(uint32_t(crc));
}

// A grey PNG of width x height, filter 0 on each row.
std::string png(uint32_t width, uint32_t height) {
    std::string rows(height * (width + 1), '\0');
    std::vector<Bytef> packed(compressBound(uLong(rows.size())));
    uLongf n = packed.size();
    compress(packed.data(), &n, reinterpret_cast<const Bytef *>(rows.data()), uLong(rows.size()));
    return "\x89PNG\r\n\x1a\n" +
           png_chunk("IHDR", be32(width) + be32(height) + "\x08" + '\0' + '\0' + '\0' + '\0') +
           png_chunk("IDAT", std::string(packed.begin(), packed.begin() + long(n))) +
           png_chunk("IEND", "");
}

// A TGA of side x side pixels: type 2 or 3 whole, type 10 in runs of 128.
std::string tga(int side, int type, int bits) {
    std::string h(18, '\0'), pixel(size_t(bits / 8), '\x80');
    h[2] = char(type), h[16] = char(bits);
    h[12] = h[14] = char(side & 0xFF), h[13] = h[15] = char(side >> 8);
    for (int i = 0; i < side * side; i += type == 10 ? 128 : 1)
        h += type == 10 ? "\xff" + pixel : pixel;
    return h;
}

} // namespace

// Whether the levelshot is asked about, and the entry it is packed as:
// the extension of its content, its own name's when it has none the game reads.
TEST(Levelshot, TheGameReadsItAsIsOrItIsAskedAbout) {
    temp_dir work;
    write_file("m.bsp", test_bsp());
    const std::string whole = tga(128, 2, 24), shot = png(128, 128);
    std::string mapped = whole, no_ihdr = shot;
    mapped[1] = 1;                  // a colour map
    no_ihdr.replace(12, 4, "IHDx"); // another chunk first
    const struct {
        const char *what, *name;
        std::string bytes; // "fifo" makes one
        bool asked;
        const char *entry; // "" when the form would refuse it first
    } rows[] = {
        {"JPEG", "s.JPEG", jpeg(128), false, "levelshots/m.jpg"},
        {"JPEG 64x64", "s.jpg", jpeg(64), true, "levelshots/m.jpg"},
        {"JPEG in greys", "s.jpg", jpeg(128, true), true, "levelshots/m.jpg"},
        {"TGA named .jpg", "s.jpg", whole, false, "levelshots/m.tga"},
        {"TGA in runs, 32 bits", "s.tga", tga(128, 10, 32), false, "levelshots/m.tga"},
        {"TGA in greys", "s.TGA", tga(128, 3, 8), false, "levelshots/m.tga"},
        {"TGA 256x256", "s.tga", tga(256, 2, 24), true, "levelshots/m.tga"},
        {"TGA with a colour map", "s.tga", mapped, true, "levelshots/m.tga"},
        {"TGA in 16 bits", "s.x", tga(128, 2, 16), true, "levelshots/m.x"},
        {"TGA cut short", "s.x", whole.substr(0, whole.size() - 1), true, "levelshots/m.x"},
        {"PNG", "s.Png", shot, false, "levelshots/m.png"},
        {"PNG 128x64", "s", png(128, 64), true, "levelshots/m.png"},
        {"PNG without its IHDR first", "s.png", no_ihdr, true, "levelshots/m.png"},
        {"garbage", "s.jpg", std::string(4096, 'g'), true, "levelshots/m.jpg"},
        {"a named pipe", "s.jpg", "fifo", true, ""},
    };
    for (const auto &r : rows) {
        std::filesystem::remove_all("shot");
        std::string path = std::string("shot/") + r.name;
        if (r.bytes == "fifo")
            ASSERT_TRUE(std::filesystem::create_directory("shot") && !mkfifo(path.c_str(), 0644));
        else
            write_file(path, r.bytes);
        bool asked = !level_problems("m.bsp", "", path.c_str()).empty();
        std::string entry;
        if (r.entry[0] != '\0')
            for (const planned_file &f : plan_package({"", "m.bsp", "", path, "m", ""}).files)
                if (f.game_path.compare(0, 11, "levelshots/") == 0)
                    entry = f.game_path;
        EXPECT_EQ(std::make_pair(asked, entry), std::make_pair(r.asked, std::string(r.entry)))
            << r.what;
    }
}
