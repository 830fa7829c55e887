// The packer's argument list built from a staged tree.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

using list = std::vector<std::string>;

// Builds the list for a form whose file fields are filled as asked, over
// a tree holding the given files.
list build(const char *map, bool textures, bool levelshot, const list &files,
           int *count = nullptr) {
    for (const char *d : {"maps", "textures", "levelshots", "scripts"})
        mkdir(d, 0755);
    for (const std::string &p : files)
        write_file(p, p);
    form_record f;
    f.map_name = map;
    f.textures_dir = textures ? "/anywhere/tex" : "";
    f.bsp_path = "/anywhere/level.bsp";
    f.levelshot_path = levelshot ? "/anywhere/shot.jpg" : "";
    name_of_dir(&f);
    creat_argv(&f); // a second build replaces the first
    int n = creat_argv(&f);
    std::vector<char *> view = argv_view(f.pack_argv);
    EXPECT_EQ(view.size(), f.pack_argv.size() + 1);
    EXPECT_EQ(view.back(), nullptr);
    EXPECT_EQ(view[0], f.pack_argv[0].data());
    if (count)
        *count = n;
    // Within a directory the order is the listing's: compare each run sorted.
    auto dir_of = [](const std::string &s) { return s.substr(0, s.find('/') + 1); };
    list &args = f.pack_argv;
    for (size_t i = 4, j; i < args.size(); i = j) {
        for (j = i; j < args.size() && dir_of(args[j]) == dir_of(args[i]);)
            ++j;
        std::sort(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(j));
    }
    return args;
}

TEST(CreatArgv, FullFormListsTheTopOfEachDirectoryInOrder) {
    temp_dir dir;
    mkdir("textures", 0755);
    mkdir("textures/sub", 0755);
    write_file("textures/sub/inner.tga", "x");
    ASSERT_EQ(mkfifo("textures/pipe.tga", 0644), 0);
    int count = 0;
    EXPECT_EQ(build("mymap", true, true,
                    {"textures/wall.jpg", "textures/floor.tga", "maps/mymap.bsp", "maps/mymap.aas",
                     "levelshots/mymap.jpg", "scripts/mymap.arena", "mapcrate"},
                    &count),
              (list{"Mapcrate.exe", "-o", "-9", "mymap.pk3", "textures/floor.tga",
                    "textures/wall.jpg", "maps/mymap.aas", "maps/mymap.bsp", "levelshots/mymap.jpg",
                    "scripts/mymap.arena", "mapcrate"}));
    EXPECT_EQ(count, 11);
}

TEST(CreatArgv, EmptyFieldsLeaveEarlierDirectoriesOut) {
    temp_dir dir;
    int count = 0;
    EXPECT_EQ(
        build("mymap", false, false,
              {"textures/old.tga", "levelshots/old.jpg", "maps/mymap.bsp", "scripts/mymap.arena"},
              &count),
        (list{"Mapcrate.exe", "-o", "-9", "mymap.pk3", "maps/mymap.bsp", "scripts/mymap.arena",
              "mapcrate"}));
    EXPECT_EQ(count, 7);
}

TEST(CreatArgv, ArchiveNameIsNeverReadAsOptions) {
    struct {
        const char *map, *archive;
    } cases[] = {{"a\\b", "a/b.pk3"}, {"-o9", "./-o9.pk3"}, {"-", "./-.pk3"}, {"x-y", "x-y.pk3"}};
    for (const auto &c : cases) {
        temp_dir dir;
        EXPECT_EQ(build(c.map, false, false, {}).at(3), c.archive) << c.map;
    }
}

TEST(CreatArgv, ListsMoreFilesThanTheOldFixedCapacity) {
    temp_dir dir;
    list files = {"maps/mymap.bsp", "scripts/mymap.arena"};
    list want = {"Mapcrate.exe", "-o", "-9", "mymap.pk3"};
    for (int i = 10000; i < 12100; ++i)
        want.push_back("textures/t" + std::to_string(i));
    files.insert(files.end(), want.begin() + 4, want.end());
    want.insert(want.end(), {"maps/mymap.bsp", "scripts/mymap.arena", "mapcrate"});
    int count = 0;
    EXPECT_EQ(build("mymap", true, false, files, &count), want);
    EXPECT_EQ(count, 2107);
}

} // namespace
