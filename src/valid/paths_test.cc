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
        {"", "\\", "/"},
        {"x", "", "x"},
        {"", "a\\\\b/c", "a//b/c"},
        {"scripts/", "my map\".arena", "scripts/my map\".arena"},
    };
    for (const auto &c : cases) {
        std::string dest = c.dest;
        str_end_cpy(dest, c.src);
        EXPECT_EQ(dest, c.want) << c.src;
    }
    // Bytes after a NUL in the source are still part of it.
    std::string dest;
    str_end_cpy(dest, std::string_view("a\0\\", 3));
    EXPECT_EQ(dest, std::string("a\0/", 3));
}

TEST(PathSplit, FileNameAndDirectoryPart) {
    struct {
        const char *path, *file, *dir;
    } cases[] = {
        {"D:\\games\\src\\level.bsp", "level.bsp", "D:\\games\\src"},
        {"D:\\games/src\\level.bsp", "level.bsp", "D:\\games/src"},
        {"D:\\games\\src\\", "", "D:\\games\\src"},
        {"/level.bsp", "level.bsp", ""},
        {"\\level.bsp", "level.bsp", ""},
        {"", "", ""},
        {"/home/u/maps/q.bsp", "q.bsp", "/home/u/maps"},
        {"rel/dir/", "", "rel/dir"},
        // A bare name is all file name; it has no directory part.
        {"level.bsp", "level.bsp", ""},
        {"x", "x", ""},
    };
    for (const auto &c : cases) {
        EXPECT_STREQ(get_file_name(c.path), c.file) << c.path;
        EXPECT_EQ(get_dir_name(c.path), c.dir) << c.path;
    }
}

TEST(PathSplit, FileNamePointsIntoThePath) {
    const char *path = "a/b\\c.tga";
    EXPECT_EQ(get_file_name(path), path + 4);
    const char *bare = "c.tga";
    EXPECT_EQ(get_file_name(bare), bare);
}

TEST(PathSplit, DirectoryThenSlashThenFileGivesThePathBack) {
    for (const char *path :
         {"D:\\work\\src\\level_final.bsp", "a/b/c", "/x.bsp", "d\\e/f\\g.jpg"}) {
        std::string rebuilt;
        str_end_cpy(rebuilt, get_dir_name(path));
        str_end_cpy(rebuilt, "\\");
        str_end_cpy(rebuilt, get_file_name(path));
        std::string converted;
        str_end_cpy(converted, path);
        EXPECT_EQ(rebuilt, converted) << path;
    }
}

TEST(NameOfDir, SetsTheFourStagingDirectoriesAgainAtEveryCall) {
    form_record f;
    for (int run = 0; run < 2; ++run) {
        name_of_dir(&f);
        EXPECT_EQ(f.textures_staging_dir, "textures/");
        EXPECT_EQ(f.maps_staging_dir, "maps/");
        EXPECT_EQ(f.scripts_staging_dir, "scripts/");
        EXPECT_EQ(f.levelshots_staging_dir, "levelshots/");
        f.maps_staging_dir = "changed/";
    }
}

} // namespace
