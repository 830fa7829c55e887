// Staging and the packer together: the archive written from a staged tree
// holds exactly the listed files, byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

// Sources in in/: a textures folder with a subfolder, a level, a bot file
// and a levelshot, plus the extra textures asked for.
void make_sources(const std::vector<std::string> &extra_textures) {
    for (const char *d : {"in", "in/tex", "in/tex/sub", "in/src"})
        mkdir(d, 0755);
    std::mt19937 rng(5);
    auto bytes = [&rng](size_t n) {
        std::string s(n, '\0');
        for (char &c : s)
            c = static_cast<char>(rng() % 5 == 0 ? rng() : 'a' + rng() % 3);
        return s;
    };
    for (const char *p : {"in/tex/wall.jpg", "in/tex/floor.tga", "in/tex/sub/ignored.tga",
                          "in/src/level.aas", "in/src/shot.jpg"})
        write_file(p, bytes(30000));
    write_file("in/src/level.bsp", bytes(1 << 20));
    for (const std::string &n : extra_textures)
        write_file("in/tex/" + n, n);
}

// Stages, lists and packs as Execute does; the packer's result.
int stage_and_pack(form_record &f, const std::string &base, const char *map) {
    std::string tex = base + "/in/tex", bsp = base + "/in/src/level.bsp",
                aas = base + "/in/src/level.aas", shot = base + "/in/src/shot.jpg";
    f.textures_dir = tex.c_str();
    f.bsp_path = bsp.c_str();
    f.aas_path = aas.c_str();
    f.levelshot_path = shot.c_str();
    f.map_name = map;
    f.description = "A \"quoted\" map";
    f.mode_states[0] = 1;
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    name_of_dir(&f);
    creat_dir(&f);
    int count = creat_argv(&f);
    int result = pk3_dir(count, argv_view(f.pack_argv).data());
    std::fflush(stdout);
    testing::internal::GetCapturedStdout();
    return result;
}

// The entries are the listed files, in list order, deflated, each holding
// the staged file's bytes.
void expect_archive_matches_list(const std::string &archive, const form_record &f) {
    EXPECT_TRUE(unzip_test_passes("./" + archive));
    zip_reading z = read_zip_with_python(archive);
    ASSERT_TRUE(z.ok) << z.problem;
    ASSERT_EQ(z.entries.size() + 4, f.pack_argv.size());
    for (size_t i = 0; i < z.entries.size(); ++i) {
        const std::string &listed = f.pack_argv[i + 4];
        EXPECT_EQ(z.entries[i].name, listed);
        EXPECT_EQ(z.entries[i].method, 8) << listed;
        EXPECT_TRUE(z.entries[i].data == read_file(listed)) << listed;
    }
}

TEST(StagingAndPacker, FullFormGivesTheListedFilesByteForByte) {
    temp_dir dir;
    make_sources({});
    form_record f;
    ASSERT_EQ(stage_and_pack(f, dir.path, "mymap"), 0);
    EXPECT_EQ(f.pack_argv.size(), 11u);
    expect_archive_matches_list("mymap.pk3", f);
    EXPECT_TRUE(read_file("maps/mymap.bsp") == read_file("in/src/level.bsp"));

    // Another map name: both maps go into the second archive.
    form_record other;
    ASSERT_EQ(stage_and_pack(other, dir.path, "other"), 0);
    EXPECT_EQ(other.pack_argv.size(), 15u);
    expect_archive_matches_list("other.pk3", other);
}

TEST(StagingAndPacker, HostileNamesAndAnOptionLikeMapName) {
    temp_dir dir;
    make_sources({"q\"uote.tga", "$(>pwned).tga", "`>pwned`.tga", "sp ace.tga", "-9"});
    form_record f;
    ASSERT_EQ(stage_and_pack(f, dir.path, "-o"), 0);
    EXPECT_EQ(f.pack_argv.size(), 16u);
    ASSERT_TRUE(path_exists("-o.pk3"));
    EXPECT_FALSE(path_exists("pwned"));
    expect_archive_matches_list("-o.pk3", f);
}

} // namespace
