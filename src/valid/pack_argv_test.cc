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

form_record argv_form(const char *map, bool textures, bool levelshot) {
    form_record f;
    f.map_name = map;
    f.textures_dir = textures ? "/anywhere/tex" : "";
    f.bsp_path = "/anywhere/level.bsp";
    f.aas_path = "";
    f.levelshot_path = levelshot ? "/anywhere/shot.jpg" : "";
    f.description = "";
    name_of_dir(&f);
    return f;
}

void stage_files(const list &paths) {
    for (const char *d : {"maps", "textures", "levelshots", "scripts"})
        mkdir(d, 0755);
    for (const std::string &p : paths)
        write_file(p, p);
}

// Within a directory the order is the listing's: compare each directory's run sorted.
list sorted_within_directories(list args) {
    auto dir_of = [](const std::string &s) { return s.substr(0, s.find('/') + 1); };
    for (size_t i = 4; i < args.size();) {
        size_t j = i;
        while (j < args.size() && dir_of(args[j]) == dir_of(args[i]))
            ++j;
        std::sort(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(j));
        i = j;
    }
    return args;
}

TEST(CreatArgv, FullFormListsEveryStagedFileInDirectoryOrder) {
    temp_dir dir;
    stage_files({"textures/wall.jpg", "textures/floor.tga", "maps/mymap.bsp", "maps/mymap.aas",
                 "levelshots/mymap.jpg", "scripts/mymap.arena", "mapcrate"});
    form_record f = argv_form("mymap", true, true);
    EXPECT_EQ(creat_argv(&f), 11);
    EXPECT_EQ(sorted_within_directories(f.pack_argv),
              (list{"Mapcrate.exe", "-o", "-9", "mymap.pk3", "textures/floor.tga",
                    "textures/wall.jpg", "maps/mymap.aas", "maps/mymap.bsp", "levelshots/mymap.jpg",
                    "scripts/mymap.arena", "mapcrate"}));
}

TEST(CreatArgv, LevelFileAloneGivesSeven) {
    temp_dir dir;
    stage_files({"maps/mymap.bsp", "scripts/mymap.arena", "mapcrate"});
    form_record f = argv_form("mymap", false, false);
    EXPECT_EQ(creat_argv(&f), 7);
    EXPECT_EQ(f.pack_argv, (list{"Mapcrate.exe", "-o", "-9", "mymap.pk3", "maps/mymap.bsp",
                                 "scripts/mymap.arena", "mapcrate"}));
    std::vector<char *> view = argv_view(f.pack_argv);
    ASSERT_EQ(view.size(), 8u);
    EXPECT_EQ(view[7], nullptr);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(view[i], f.pack_argv[i].data()) << i;
}

TEST(CreatArgv, EmptyFieldsLeaveEarlierDirectoriesOut) {
    temp_dir dir;
    stage_files(
        {"textures/old.tga", "levelshots/old.jpg", "maps/mymap.bsp", "scripts/mymap.arena"});
    form_record f = argv_form("mymap", false, false);
    creat_argv(&f);
    EXPECT_EQ(f.pack_argv, (list{"Mapcrate.exe", "-o", "-9", "mymap.pk3", "maps/mymap.bsp",
                                 "scripts/mymap.arena", "mapcrate"}));
}

TEST(CreatArgv, OnlyFilesAtTheTopOfEachDirectoryAreListed) {
    temp_dir dir;
    stage_files({"textures/a.tga", "maps/mymap.bsp", "maps/other.bsp", "scripts/mymap.arena",
                 "scripts/other.arena"});
    mkdir("textures/sub", 0755);
    write_file("textures/sub/inner.tga", "x");
    mkdir("maps/dir.bsp", 0755);
    ASSERT_EQ(mkfifo("textures/pipe.tga", 0644), 0);
    form_record f = argv_form("other", true, false);
    EXPECT_EQ(creat_argv(&f), 10);
    EXPECT_EQ(sorted_within_directories(f.pack_argv),
              (list{"Mapcrate.exe", "-o", "-9", "other.pk3", "textures/a.tga", "maps/mymap.bsp",
                    "maps/other.bsp", "scripts/mymap.arena", "scripts/other.arena", "mapcrate"}));
}

TEST(CreatArgv, ArchiveNameIsNeverReadAsOptions) {
    struct {
        const char *map, *archive;
    } cases[] = {
        {"mymap", "mymap.pk3"}, {"a\\b", "a/b.pk3"}, {"-o9", "./-o9.pk3"},
        {"-", "./-.pk3"},       {"x-y", "x-y.pk3"},
    };
    for (const auto &c : cases) {
        temp_dir dir;
        form_record f = argv_form(c.map, false, false);
        creat_argv(&f);
        ASSERT_GE(f.pack_argv.size(), 4u);
        EXPECT_EQ(f.pack_argv[3], c.archive) << c.map;
    }
}

TEST(CreatArgv, ListsMoreFilesThanTheOldFixedCapacity) {
    temp_dir dir;
    stage_files({"maps/mymap.bsp", "scripts/mymap.arena"});
    list want = {"Mapcrate.exe", "-o", "-9", "mymap.pk3"};
    for (int i = 0; i < 2100; ++i) {
        std::string p = "textures/t" + std::to_string(10000 + i) + ".tga";
        write_file(p, "");
        want.push_back(p);
    }
    want.insert(want.end(), {"maps/mymap.bsp", "scripts/mymap.arena", "mapcrate"});
    form_record f = argv_form("mymap", true, false);
    EXPECT_EQ(creat_argv(&f), 2107);
    EXPECT_EQ(sorted_within_directories(f.pack_argv), want);
    EXPECT_EQ(argv_view(f.pack_argv)[2107], nullptr);
}

TEST(CreatArgv, ABuildReplacesTheEarlierList) {
    temp_dir dir;
    stage_files({"maps/mymap.bsp", "scripts/mymap.arena"});
    form_record f = argv_form("mymap", false, false);
    creat_argv(&f);
    f.map_name = "next";
    EXPECT_EQ(creat_argv(&f), 7);
    EXPECT_EQ(f.pack_argv[3], "next.pk3");
}

} // namespace
