// The staging tree: what lands where, under which name, and what is printed.
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

struct texts {
    std::string textures{}, bsp{}, aas{}, levelshot{}, map = "mymap";
};

// Stages the form t describes; returns what was printed.
std::string stage(const texts &t, form_record &f) {
    f.textures_dir = t.textures.c_str();
    f.bsp_path = t.bsp.c_str();
    f.aas_path = t.aas.c_str();
    f.levelshot_path = t.levelshot.c_str();
    f.map_name = t.map.c_str();
    f.description = "";
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    EXPECT_EQ(creat_dir(&f), 1);
    return testing::internal::GetCapturedStdout();
}

std::string stage(const texts &t) {
    form_record f;
    return stage(t, f);
}

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = static_cast<char>(rng());
    return s;
}

std::string copy_line(const std::string &file, const std::string &dest, const std::string &cmd) {
    return "Copie du fichier " + file + " vers le dossier : mymap/" + dest + "\n :" + cmd + "\n\n";
}

TEST(CreatDir, FullFormProgressLinesAndCopies) {
    temp_dir dir;
    mkdir("src dir", 0755);
    mkdir("tex", 0755);
    write_file("tex/rock1.tga", "rock");
    write_file("src dir/level_final.bsp", random_bytes(3 << 20, 1));
    write_file("src dir/level_final.aas", "aas");
    write_file("src dir/shot.jpg", "jpg");
    std::string src = dir.path + "/src dir";
    form_record f;
    std::string out =
        stage({"tex", src + "/level_final.bsp", src + "/level_final.aas", src + "/shot.jpg"}, f);
    EXPECT_EQ(f.map_prefix, "mymap/");
    EXPECT_EQ(out, "Creation du dossier : maps/\n\nCreation du dossier : textures/\n\n" +
                       copy_line("rock1.tga", "textures/",
                                 "cp \"tex/rock1.tga\" \"textures/rock1.tga\"") +
                       copy_line("level_final.bsp", "maps/",
                                 "cp \"" + src + "/level_final.bsp\" \"maps/mymap.bsp\"") +
                       copy_line("level_final.aas", "maps/",
                                 "cp \"" + src + "/level_final.aas\" \"maps/mymap.aas\"") +
                       "Creation du dossier : levelshots/\n\n" +
                       copy_line("shot.jpg", "levelshots/",
                                 "cp \"" + src + "/shot.jpg\" \"levelshots/mymap.jpg\"") +
                       "Creation du dossier : scripts/\n\nCreation du fichier : "
                       "scripts/mymap.arena\n\n");
    EXPECT_EQ(read_file("textures/rock1.tga"), "rock");
    EXPECT_TRUE(read_file("maps/mymap.bsp") == read_file("src dir/level_final.bsp"));
    EXPECT_EQ(read_file("maps/mymap.aas"), "aas");
    EXPECT_EQ(read_file("levelshots/mymap.jpg"), "jpg");
}

TEST(CreatDir, EmptyOptionalFieldsCreateNothingForThem) {
    temp_dir dir;
    write_file("l.bsp", "bsp");
    std::string out = stage({"", dir.path + "/l.bsp"});
    EXPECT_EQ(out.find("textures/"), std::string::npos) << out;
    EXPECT_EQ(out.find("levelshots/"), std::string::npos) << out;
    EXPECT_EQ(list_dir("."), (std::vector<std::string>{"l.bsp", "mapcrate", "maps", "scripts"}));
    EXPECT_EQ(list_dir("maps"), std::vector<std::string>{"mymap.bsp"});
}

TEST(CreatDir, TexturesFolderIsWalkedFlat) {
    temp_dir dir;
    mkdir("tex", 0755);
    mkdir("tex/sub", 0755);
    write_file("tex/a.tga", "A");
    write_file("tex/b.jpg", "B");
    write_file("tex/sub/inner.tga", "inner");
    // A named pipe would block a plain open for reading forever.
    ASSERT_EQ(mkfifo("tex/pipe", 0644), 0);
    ASSERT_EQ(symlink("a.tga", "tex/link.tga"), 0);
    std::string out = stage({dir.path + "/tex"});
    EXPECT_EQ(list_dir("textures"), (std::vector<std::string>{"a.tga", "b.jpg", "link.tga"}));
    EXPECT_EQ(read_file("textures/b.jpg") + read_file("textures/link.tga"), "BA");
    EXPECT_EQ(out.find("sub"), std::string::npos) << out;
    EXPECT_EQ(out.find("pipe"), std::string::npos) << out;
}

TEST(CreatDir, CopiesAreNamedAfterTheMapWithTheExtensionRule) {
    struct {
        int field; // 1 BSP, 2 AAS, 3 levelshot
        const char *source, *copy;
    } cases[] = {
        {1, "d.dir/Level.BSP", "maps/mymap.BSP"},
        {1, "d.dir/level.final.bsp", "maps/mymap.bsp"},
        {1, "d.dir/level", "maps/mymaplevel"},
        {1, "d.dir/.bsp", "maps/mymap.bsp"},
        {1, "d.dir/..x", "maps/mymap.x"},
        {2, "d.dir/bots.aas", "maps/mymap.aas"},
        {3, "d.dir/shot.jpg", "levelshots/mymap.jpg"},
        // A bare name typed by hand lies in the working directory.
        {1, "level.bsp", "maps/mymap.bsp"},
        {3, "s.jpg", "levelshots/mymap.jpg"},
    };
    for (const auto &c : cases) {
        temp_dir dir;
        mkdir("d.dir", 0755);
        write_file(c.source, c.source);
        texts t;
        (c.field == 1 ? t.bsp : c.field == 2 ? t.aas : t.levelshot) = c.source;
        std::string out = stage(t);
        EXPECT_EQ(read_file(c.copy), c.source) << c.source;
        if (std::string(c.source).find('/') == std::string::npos) {
            EXPECT_NE(out.find(" :cp \"./" + std::string(c.source) + "\""), std::string::npos)
                << out;
        }
    }
}

TEST(CreatDir, ReusesTheTreeOfEarlierRunsAndNeverCopiesAFileOntoItself) {
    temp_dir dir;
    mkdir("maps", 0755);
    mkdir("textures", 0755);
    write_file("maps/mymap.bsp", std::string(100000, 'o'));
    write_file("textures/a.tga", "old a, longer than the new one");
    write_file("textures/kept.tga", "kept");
    mkdir("tex", 0755);
    write_file("tex/a.tga", "new a");
    chmod("tex/a.tga", 0444);
    write_file("one.bsp", "one");
    write_file("two.bsp", "two");
    stage({"tex", "one.bsp"});
    form_record f;
    stage({"", "two.bsp", "", "", "other"}, f);
    EXPECT_EQ(f.map_prefix, "other/");
    EXPECT_EQ(list_dir("maps"), (std::vector<std::string>{"mymap.bsp", "other.bsp"}));
    EXPECT_EQ(read_file("maps/mymap.bsp") + read_file("maps/other.bsp"), "onetwo");
    EXPECT_EQ(read_file("textures/a.tga") + read_file("textures/kept.tga"), "new akept");
    EXPECT_EQ(list_dir("scripts"), (std::vector<std::string>{"mymap.arena", "other.arena"}));
    // A copy of a read-only file can still be replaced by the next run.
    struct stat st;
    ASSERT_EQ(stat("textures/a.tga", &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u);
    // The staged copies picked as sources stay whole.
    stage({"textures", "maps/mymap.bsp", "./maps/mymap.bsp"});
    EXPECT_EQ(read_file("maps/mymap.bsp") + read_file("textures/a.tga"), "onenew a");
}

TEST(CreatDir, HostileNamesAreCopiedAndNothingIsRun) {
    temp_dir dir;
    const std::string names[] = {
        "q\"uote.tga",  "$(>pwned1).tga", "`>pwned2`.tga", "back\\slash.tga",
        "sp  ace .tga", "new\nline.tga",  "-rf",           "x\";>pwned3;\"",
        "$HOME.tga",    "\xe9t\xe9.tga",
    };
    std::string src = "src $(>pwned4) `>pwned5`", tex = src + "/tex \"x\"";
    mkdir(src.c_str(), 0755);
    mkdir(tex.c_str(), 0755);
    for (const std::string &n : names)
        write_file(tex + "/" + n, random_bytes(3000 + n.size(), static_cast<unsigned>(n[0])));
    write_file(src + "/lev\"el $(>pwned6).bsp", "level");

    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    std::string out =
        stage({tex, dir.path + "/" + src + "/lev\"el $(>pwned6).bsp", "", "", "m$(>pwned7)"});
    getrusage(RUSAGE_CHILDREN, &after);
    EXPECT_EQ(after.ru_minflt, before.ru_minflt) << "a child process ran";

    std::vector<std::string> want(std::begin(names), std::end(names));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(list_dir("textures"), want);
    for (const std::string &n : names)
        EXPECT_TRUE(read_file("textures/" + n) == read_file(tex + "/" + n)) << n;
    EXPECT_EQ(read_file("maps/m$(>pwned7).bsp"), "level");
    for (int i = 1; i <= 7; ++i)
        for (const std::string &where : {std::string("."), src, tex})
            EXPECT_FALSE(path_exists(where + "/pwned" + std::to_string(i))) << where << i;
    // The line still shows the command text, backslash turned into '/'.
    EXPECT_NE(out.find(" :cp \"" + tex + "/back/slash.tga\" \"textures/back/slash.tga\"\n"),
              std::string::npos)
        << out;
}

TEST(CpFileInDir, CopiesFromTheDirectoryUnderTheStagedName) {
    temp_dir dir;
    mkdir("in", 0755);
    mkdir("textures", 0755);
    mkdir("maps", 0755);
    write_file("in/rock1.tga", "rock");
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    cp_file_in_dir("in", "mymap/", "maps/", "rock1.tga", 1);
    cp_file_in_dir("D:\\work\\tex", "mymap/", "textures/", "rock2.tga", 0);
    // A pseudo file reports size 0 however much it holds.
    cp_file_in_dir("/proc/self", "mymap/", "textures/", "status", 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_file("maps/mymap.tga"), "rock");
    EXPECT_EQ(list_dir("textures"), std::vector<std::string>{"status"});
    EXPECT_EQ(read_file("textures/status").rfind("Name:", 0), 0u);
    EXPECT_EQ(out.substr(0, out.find("Copie du fichier status")),
              copy_line("rock1.tga", "maps/", "cp \"in/rock1.tga\" \"maps/mymap.tga\"") +
                  copy_line("rock2.tga", "textures/",
                            "cp \"D:/work/tex/rock2.tga\" \"textures/rock2.tga\""));
}

} // namespace
