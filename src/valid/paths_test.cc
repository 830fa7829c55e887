// The path routines every builder of a staging path goes through.
#include <gtest/gtest.h>

#include <string>

#include "mapcrate.h"

namespace {

TEST(StrEndCpy, AppendsTurningEveryCopiedBackslashIntoSlash) {
    const char *cases[][3] = {
        {"abc\\", "D:\\games\\src\\level.bsp", "abc\\D:/games/src/level.bsp"},
        {"", "a\\\\b/c", "a//b/c"},
        {"x", "", "x"},
    };
    for (const auto &c : cases) {
        std::string dest = c[0];
        str_end_cpy(dest, c[1]);
        EXPECT_EQ(dest, c[2]) << c[1];
    }
}

TEST(PathSplit, FileNameAndDirectoryPart) {
    struct {
        const char *path;
        size_t file_at;
        const char *dir;
    } cases[] = {
        {"D:\\games\\src\\level.bsp", 13, "D:\\games\\src"},
        {"D:\\games/src\\level.bsp", 13, "D:\\games/src"},
        {"D:\\games\\src\\", 13, "D:\\games\\src"},
        {"/level.bsp", 1, ""},
        {"", 0, ""},
        // A bare name is all file name; it has no directory part.
        {"level.bsp", 0, ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(get_file_name(c.path), c.path + c.file_at) << c.path;
        EXPECT_EQ(get_dir_name(c.path), c.dir) << c.path;
    }
}

} // namespace
