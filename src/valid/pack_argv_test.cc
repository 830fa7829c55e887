// The packer's argument list built from a staged tree.  The list of a full
// form, and the archive written from it, are in staging_test.cc.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

TEST(CreatArgv, EmptyFieldsLeaveEarlierDirectoriesOutAndNoMapNameIsReadAsOptions) {
    const char *cases[][2] = {{"mymap", "mymap.pk3"},
                              {"a\\b", "a/b.pk3"},
                              {"-o9", "./-o9.pk3"},
                              {"-", "./-.pk3"},
                              {"x-y", "x-y.pk3"}};
    temp_dir dir;
    for (const char *d : {"maps", "maps/sub", "textures", "levelshots", "scripts"})
        mkdir(d, 0755);
    for (const char *p : {"textures/old.tga", "levelshots/old.jpg", "maps/mymap.bsp",
                          "maps/sub/inner.bsp", "scripts/mymap.arena"})
        write_file(p, p);
    ASSERT_EQ(mkfifo("maps/pipe.bsp", 0644), 0);
    // One record for every row: each build replaces the one before.
    form_record f;
    f.textures_dir = f.levelshot_path = "";
    f.bsp_path = "/anywhere/level.bsp";
    name_of_dir(&f);
    for (const auto &c : cases) {
        f.map_name = c[0];
        EXPECT_EQ(creat_argv(&f), 7) << c[0];
        EXPECT_EQ(f.pack_argv,
                  (std::vector<std::string>{"Mapcrate.exe", "-o", "-9", c[1], "maps/mymap.bsp",
                                            "scripts/mymap.arena", "mapcrate"}));
        std::vector<char *> view = argv_view(f.pack_argv);
        EXPECT_EQ(view.size(), 8u);
        EXPECT_EQ(view[3], f.pack_argv[3].data());
        EXPECT_EQ(view.back(), nullptr);
    }
}

} // namespace
