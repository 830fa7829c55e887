// The staging paths and the path routines.
#include <gtest/gtest.h>

#include <string>

#include "mapcrate.h"

namespace {

TEST(StrEndCpy, AppendsTurningEveryCopiedBackslashIntoSlash) {
    struct {
        const char *dest, *src, *want;
    } cases[] = {
        {"abc\\", "D:\\games\\src\\level.bsp", "abc\\D:/games/src/level.bsp"},
        {"", "a\\\\b/c", "a//b/c"},
        {"x", "", "x"},
    };
    for (const auto &c : cases) {
        std::string dest = c.dest;
        str_end_cpy(dest, c.src);
        EXPECT_EQ(dest, c.want) << c.src;
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

TEST(NameOfDir, SetsTheFourStagingDirectoriesAgainAtEveryCall) {
    form_record f;
    name_of_dir(&f);
    f.maps_staging_dir = "changed/";
    name_of_dir(&f);
    EXPECT_EQ(f.textures_staging_dir + f.maps_staging_dir + f.scripts_staging_dir +
                  f.levelshots_staging_dir,
              "textures/maps/scripts/levelshots/");
}

} // namespace
