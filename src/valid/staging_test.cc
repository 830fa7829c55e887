// The staging tree: what lands where, under which name, what is printed,
// and the archive the packer writes from it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

using list = std::vector<std::string>;

struct texts {
    std::string textures{}, bsp{}, aas{}, levelshot{}, map = "mymap";
};

// Stages the form t describes; returns what was printed.  With packed, then
// lists and packs the tree as Execute does, and reads the archive back:
// exactly the listed files, in list order, byte for byte.
std::string stage(const texts &t, list *packed = nullptr) {
    form_record f;
    f.textures_dir = t.textures.c_str();
    f.bsp_path = t.bsp.c_str();
    f.aas_path = t.aas.c_str();
    f.levelshot_path = t.levelshot.c_str();
    f.map_name = t.map.c_str();
    f.description = "";
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    int staged = creat_dir(&f), packer = 0;
    std::string out = testing::internal::GetCapturedStdout();
    if (packed) {
        name_of_dir(&f);
        int count = creat_argv(&f);
        EXPECT_EQ(count, static_cast<int>(f.pack_argv.size()));
        testing::internal::CaptureStdout();
        packer = pk3_dir(count, argv_view(f.pack_argv).data());
        std::fflush(stdout);
        testing::internal::GetCapturedStdout();
        *packed = f.pack_argv;
    }
    getrusage(RUSAGE_CHILDREN, &after);
    EXPECT_EQ(after.ru_minflt, before.ru_minflt) << "a child process ran";
    EXPECT_EQ(staged, 1);
    EXPECT_EQ(packer, 0);
    if (!packed)
        return out;
    EXPECT_TRUE(unzip_test_passes(f.pack_argv[3]));
    zip_reading z = read_zip_with_python(f.pack_argv[3]);
    EXPECT_TRUE(z.ok) << z.problem;
    EXPECT_EQ(z.entries.size() + 4, f.pack_argv.size());
    for (size_t i = 0; i < z.entries.size() && i + 4 < f.pack_argv.size(); ++i) {
        const std::string &listed = f.pack_argv[i + 4];
        EXPECT_EQ(z.entries[i].name, listed);
        EXPECT_EQ(z.entries[i].method, 8) << listed;
        EXPECT_TRUE(z.entries[i].data == read_file(listed)) << listed;
    }
    return out;
}

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = static_cast<char>(rng());
    return s;
}

std::string made(const std::string &dir) {
    return "Creation du dossier : " + dir + "\n\n";
}

std::string copied(const std::string &file, const std::string &dir, const std::string &from,
                   const std::string &to, const std::string &map = "mymap") {
    return "Copie du fichier " + file + " vers le dossier : " + map + "/" + dir + "\n :cp \"" +
           from + "\" \"" + to + "\"\n\n";
}

// Within a staging directory the list follows the listing's order.
list runs_sorted(list a) {
    auto dir = [](const std::string &s) { return s.substr(0, s.find('/') + 1); };
    for (auto i = a.begin() + 4, j = i; i < a.end(); i = j) {
        j = std::find_if(i, a.end(), [&](const std::string &s) { return dir(s) != dir(*i); });
        std::sort(i, j);
    }
    return a;
}

TEST(CreatDir, FullFormStagesTheTexturesFolderTopOnlyAndIsPackedAsListed) {
    temp_dir dir;
    for (const char *d : {"src dir", "tex", "tex/sub"})
        mkdir(d, 0755);
    write_file("tex/rock1.tga", "rock");
    write_file("tex/wall.jpg", "wall");
    write_file("tex/sub/inner.tga", "inner");
    // A named pipe would block a plain open for reading forever.
    ASSERT_EQ(mkfifo("tex/pipe", 0644), 0);
    ASSERT_EQ(symlink("sub", "tex/link"), 0);
    write_file("src dir/level_final.bsp", random_bytes(3 << 20, 1));
    write_file("src dir/level_final.aas", "aas");
    write_file("src dir/shot.jpg", "jpg");
    std::string s = dir.path + "/src dir/";
    list packed;
    std::string out =
        stage({"tex", s + "level_final.bsp", s + "level_final.aas", s + "shot.jpg"}, &packed);
    std::string head = made("maps/") + made("textures/"),
                rock = copied("rock1.tga", "textures/", "tex/rock1.tga", "textures/rock1.tga"),
                wall = copied("wall.jpg", "textures/", "tex/wall.jpg", "textures/wall.jpg"),
                rest = copied("level_final.bsp", "maps/", s + "level_final.bsp", "maps/mymap.bsp") +
                       copied("level_final.aas", "maps/", s + "level_final.aas", "maps/mymap.aas") +
                       made("levelshots/") +
                       copied("shot.jpg", "levelshots/", s + "shot.jpg", "levelshots/mymap.jpg") +
                       made("scripts/") + "Creation du fichier : scripts/mymap.arena\n\n";
    EXPECT_TRUE(out == head + rock + wall + rest || out == head + wall + rock + rest) << out;
    EXPECT_EQ(list_dir("textures"), (list{"rock1.tga", "wall.jpg"}));
    EXPECT_TRUE(read_file("maps/mymap.bsp") == read_file(s + "level_final.bsp"));
    EXPECT_EQ(read_file("textures/rock1.tga") + read_file("maps/mymap.aas") +
                  read_file("levelshots/mymap.jpg"),
              "rockaasjpg");
    EXPECT_EQ(runs_sorted(packed),
              (list{"Mapcrate.exe", "-o", "-9", "mymap.pk3", "textures/rock1.tga",
                    "textures/wall.jpg", "maps/mymap.aas", "maps/mymap.bsp", "levelshots/mymap.jpg",
                    "scripts/mymap.arena", "mapcrate"}));
}

TEST(CreatDir, ReusesAnEarlierTreeAndNeverCopiesAFileOntoItself) {
    temp_dir dir;
    for (const char *d : {"maps", "textures", "tex"})
        mkdir(d, 0755);
    write_file("maps/mymap.bsp", std::string(100000, 'o'));
    write_file("textures/a.tga", "old a, longer than the new one");
    write_file("textures/kept.tga", "kept");
    write_file("tex/a.tga", "new a");
    write_file("tex/ro.tga", "ro");
    chmod("tex/ro.tga", 0444);
    write_file("one.bsp", "one");
    write_file("two.bsp", "two");
    stage({"tex", "one.bsp"});
    // Empty fields stage and list nothing; a bare name lies in the working directory.
    list packed;
    EXPECT_EQ(stage({"", "two.bsp", "", "", "other"}, &packed),
              made("maps/") + copied("two.bsp", "maps/", "./two.bsp", "maps/other.bsp", "other") +
                  made("scripts/") + "Creation du fichier : scripts/other.arena\n\n");
    EXPECT_EQ(runs_sorted(packed),
              (list{"Mapcrate.exe", "-o", "-9", "other.pk3", "maps/mymap.bsp", "maps/other.bsp",
                    "scripts/mymap.arena", "scripts/other.arena", "mapcrate"}));
    EXPECT_FALSE(path_exists("levelshots"));
    EXPECT_EQ(read_file("maps/mymap.bsp") + read_file("maps/other.bsp"), "onetwo");
    EXPECT_EQ(read_file("textures/a.tga") + read_file("textures/kept.tga"), "new akept");
    // A copy of a read-only file can still be replaced by the next run.
    struct stat st;
    ASSERT_EQ(stat("textures/ro.tga", &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    // The staged copies picked as sources stay whole.
    stage({"textures", "maps/mymap.bsp", "./maps/mymap.bsp"});
    EXPECT_EQ(read_file("maps/mymap.bsp") + read_file("textures/a.tga"), "onenew a");
}

TEST(CreatDir, HostileNamesAndThousandsOfFilesAreStagedAndPackedWithNothingRun) {
    temp_dir dir;
    list names = {"q\"uote.tga",  "$(>pwned1).tga", "`>pwned2`.tga", "back\\slash.tga",
                  "sp  ace .tga", "new\nline.tga",  "-rf",           "x\";>pwned3;\"",
                  "$HOME.tga",    "\xe9t\xe9.tga"};
    // Far more than the 2048 the list once had room for.
    for (int i = 0; i < 2100; ++i)
        names.push_back("t" + std::to_string(i));
    std::string src = "src $(>pwned4) `>pwned5`", tex = src + "/tex \"x\"";
    mkdir(src.c_str(), 0755);
    mkdir(tex.c_str(), 0755);
    for (size_t i = 0; i < names.size(); ++i)
        write_file(tex + "/" + names[i], random_bytes(100 + i, static_cast<unsigned>(i)));
    // A link to a file is copied as the file.
    ASSERT_EQ(symlink(names[0].c_str(), (tex + "/link").c_str()), 0);
    names.push_back("link");
    write_file(src + "/lev\"el $(>pwned6).bsp", "level");
    list packed;
    std::string out = stage(
        {tex, dir.path + "/" + src + "/lev\"el $(>pwned6).bsp", "", "", "-m$(>pwned7)"}, &packed);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(list_dir("textures"), names);
    for (const std::string &n : names)
        EXPECT_TRUE(read_file("textures/" + n) == read_file(tex + "/" + n)) << n;
    EXPECT_EQ(read_file("maps/-m$(>pwned7).bsp"), "level");
    // A map name beginning with '-' is no packer option.
    EXPECT_EQ(packed.size(), names.size() + 7);
    EXPECT_TRUE(path_exists("-m$(>pwned7).pk3"));
    for (int i = 1; i <= 7; ++i)
        for (const std::string &where : {std::string("."), src, tex})
            EXPECT_FALSE(path_exists(where + "/pwned" + std::to_string(i))) << where << i;
    // The line still shows the command text, backslash turned into '/'.
    EXPECT_NE(out.find(" :cp \"" + tex + "/back/slash.tga\" \"textures/back/slash.tga\"\n"),
              std::string::npos);
}

TEST(CpFileInDir, NamesTheCopyAfterTheMapWithTheExtensionRule) {
    const char *cases[][2] = {{"Level.BSP", "mymap.BSP"},
                              {"level.final.tga", "mymap.tga"},
                              {"level", "mymaplevel"},
                              {".bsp", "mymap.bsp"},
                              {"..x", "mymap.x"}};
    temp_dir dir;
    for (const char *d : {"in.d", "maps", "textures"})
        mkdir(d, 0755);
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    for (const auto &c : cases) {
        write_file(std::string("in.d/") + c[0], c[0]);
        cp_file_in_dir("in.d", "mymap/", "maps/", c[0], 1);
    }
    // A missing source still has its line; a pseudo file reports size 0 however much it holds.
    cp_file_in_dir("D:\\work\\tex", "mymap/", "textures/", "rock.tga", 0);
    cp_file_in_dir("/proc/self", "mymap/", "textures/", "status", 0);
    std::string out = testing::internal::GetCapturedStdout();
    for (const auto &c : cases)
        EXPECT_EQ(read_file(std::string("maps/") + c[1]), c[0]);
    EXPECT_EQ(list_dir("maps").size(), std::size(cases));
    EXPECT_EQ(list_dir("textures"), list{"status"});
    EXPECT_EQ(read_file("textures/status").rfind("Name:", 0), 0u);
    EXPECT_NE(
        out.find(copied("..x", "maps/", "in.d/..x", "maps/mymap.x") +
                 copied("rock.tga", "textures/", "D:/work/tex/rock.tga", "textures/rock.tga")),
        std::string::npos)
        << out;
}

} // namespace
