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

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = static_cast<char>(rng() % 7 == 0 ? rng() : 'a' + rng() % 3);
    return s;
}

// Staging, listing and packing as Execute runs them; the packer's result.
int stage_and_pack(form_record &f) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    name_of_dir(&f);
    creat_dir(&f);
    int count = creat_argv(&f);
    std::vector<char *> argv = argv_view(f.pack_argv);
    int result = pk3_dir(count, argv.data());
    std::fflush(stdout);
    testing::internal::GetCapturedStdout();
    return result;
}

// The archive's entries are the listed files, in list order, each holding
// the staged file's bytes, deflated.
void expect_archive_matches_list(const std::string &archive, const form_record &f) {
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

struct full_form {
    std::string tex, bsp, aas, shot;
    form_record f;
};

void fill(full_form &ff, const std::string &base, const char *map) {
    ff.tex = base + "/tex";
    ff.bsp = base + "/src/level.bsp";
    ff.aas = base + "/src/level.aas";
    ff.shot = base + "/src/shot.jpg";
    ff.f.textures_dir = ff.tex.c_str();
    ff.f.bsp_path = ff.bsp.c_str();
    ff.f.aas_path = ff.aas.c_str();
    ff.f.levelshot_path = ff.shot.c_str();
    ff.f.map_name = map;
    ff.f.description = "A \"quoted\" map";
    ff.f.mode_states[0] = ff.f.mode_states[2] = 1;
}

void make_sources(const std::string &base) {
    mkdir((base + "/tex").c_str(), 0755);
    mkdir((base + "/tex/sub").c_str(), 0755);
    mkdir((base + "/src").c_str(), 0755);
    write_file(base + "/tex/wall.jpg", random_bytes(20000, 1));
    write_file(base + "/tex/floor.tga", random_bytes(50000, 2));
    write_file(base + "/tex/sub/ignored.tga", "ignored");
    write_file(base + "/src/level.bsp", random_bytes(1 << 20, 3));
    write_file(base + "/src/level.aas", random_bytes(100000, 4));
    write_file(base + "/src/shot.jpg", random_bytes(9000, 5));
}

TEST(StagingAndPacker, FullFormGivesTheListedFilesByteForByte) {
    temp_dir dir;
    mkdir("in", 0755);
    make_sources(dir.path + "/in");
    full_form ff;
    fill(ff, dir.path + "/in", "mymap");
    ASSERT_EQ(stage_and_pack(ff.f), 0);
    ASSERT_EQ(ff.f.pack_argv.size(), 11u);
    EXPECT_TRUE(unzip_test_passes("mymap.pk3"));
    expect_archive_matches_list("mymap.pk3", ff.f);
    EXPECT_EQ(read_file("maps/mymap.bsp"), read_file("in/src/level.bsp"));

    // Again with another map name: both maps go into the second archive.
    full_form other;
    fill(other, dir.path + "/in", "other");
    ASSERT_EQ(stage_and_pack(other.f), 0);
    EXPECT_EQ(other.f.pack_argv.size(), 15u);
    EXPECT_TRUE(unzip_test_passes("other.pk3"));
    expect_archive_matches_list("other.pk3", other.f);
}

TEST(StagingAndPacker, HostileNamesAndAnOptionLikeMapName) {
    temp_dir dir;
    mkdir("in", 0755);
    make_sources(dir.path + "/in");
    for (const char *n : {"q\"uote.tga", "$(>pwned).tga", "`>pwned`.tga", "sp ace.tga", "-9"})
        write_file(std::string("in/tex/") + n, n);
    full_form ff;
    fill(ff, dir.path + "/in", "-o");
    ASSERT_EQ(stage_and_pack(ff.f), 0);
    EXPECT_EQ(ff.f.pack_argv[3], "./-o.pk3");
    ASSERT_TRUE(path_exists("-o.pk3"));
    EXPECT_FALSE(path_exists("pwned"));
    EXPECT_EQ(ff.f.pack_argv.size(), 16u);
    EXPECT_TRUE(unzip_test_passes("./-o.pk3"));
    expect_archive_matches_list("-o.pk3", ff.f);
}

TEST(StagingAndPacker, MoreThan2048StagedFilesAreAllPacked) {
    temp_dir dir;
    mkdir("tex", 0755);
    for (int i = 0; i < 2060; ++i)
        write_file("tex/t" + std::to_string(i) + ".tga", std::to_string(i));
    write_file("level.bsp", "level");
    form_record f;
    f.textures_dir = "tex";
    f.bsp_path = "level.bsp";
    f.aas_path = f.levelshot_path = f.description = "";
    f.map_name = "big";
    ASSERT_EQ(stage_and_pack(f), 0);
    EXPECT_EQ(f.pack_argv.size(), 2060u + 7u);
    EXPECT_TRUE(unzip_test_passes("big.pk3"));
    expect_archive_matches_list("big.pk3", f);
}

} // namespace
