// The staging tree: what lands where, under which name, and what is printed.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

struct texts {
    std::string textures{}, bsp{}, aas{}, levelshot{}, map = "mymap", description = "d";
};

// The record keeps views: t must outlive the staging.
form_record staging_form(const texts &t) {
    form_record f;
    f.textures_dir = t.textures.c_str();
    f.bsp_path = t.bsp.c_str();
    f.aas_path = t.aas.c_str();
    f.levelshot_path = t.levelshot.c_str();
    f.map_name = t.map.c_str();
    f.description = t.description.c_str();
    f.mode_states[0] = 1;
    return f;
}

std::string stage(form_record &f) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    EXPECT_EQ(creat_dir(&f), 1);
    return testing::internal::GetCapturedStdout();
}

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = static_cast<char>(rng());
    return s;
}

std::string copy_line(const std::string &file, const std::string &prefix, const std::string &dest,
                      const std::string &cmd) {
    return "Copie du fichier " + file + " vers le dossier : " + prefix + dest + "\n :" + cmd +
           "\n\n";
}

// Pages touched by children that were started and waited for.
long child_page_faults() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_minflt + u.ru_majflt;
}

TEST(CreatDir, FullFormProgressLinesAndCopies) {
    temp_dir dir;
    mkdir("src dir", 0755);
    mkdir("tex", 0755);
    write_file("tex/rock1.tga", "rock");
    write_file("src dir/level_final.bsp", random_bytes(70000, 1));
    write_file("src dir/level_final.aas", "aas");
    write_file("src dir/shot.jpg", "jpg");
    std::string src = dir.path + "/src dir";
    texts t{"tex", src + "/level_final.bsp", src + "/level_final.aas", src + "/shot.jpg"};
    form_record f = staging_form(t);
    std::string out = stage(f);

    EXPECT_EQ(f.map_prefix, "mymap/");
    std::string want = "Creation du dossier : maps/\n\n"
                       "Creation du dossier : textures/\n\n" +
                       copy_line("rock1.tga", "mymap/", "textures/",
                                 "cp \"tex/rock1.tga\" \"textures/rock1.tga\"") +
                       copy_line("level_final.bsp", "mymap/", "maps/",
                                 "cp \"" + src + "/level_final.bsp\" \"maps/mymap.bsp\"") +
                       copy_line("level_final.aas", "mymap/", "maps/",
                                 "cp \"" + src + "/level_final.aas\" \"maps/mymap.aas\"") +
                       "Creation du dossier : levelshots/\n\n" +
                       copy_line("shot.jpg", "mymap/", "levelshots/",
                                 "cp \"" + src + "/shot.jpg\" \"levelshots/mymap.jpg\"") +
                       "Creation du dossier : scripts/\n\n"
                       "Creation du fichier : scripts/mymap.arena\n\n";
    EXPECT_EQ(out, want);
    EXPECT_EQ(read_file("textures/rock1.tga"), "rock");
    EXPECT_EQ(read_file("maps/mymap.bsp"), read_file("src dir/level_final.bsp"));
    EXPECT_EQ(read_file("maps/mymap.aas"), "aas");
    EXPECT_EQ(read_file("levelshots/mymap.jpg"), "jpg");
    EXPECT_TRUE(path_exists("scripts/mymap.arena"));
    EXPECT_TRUE(path_exists("mapcrate"));
    for (const char *d : {"maps", "textures", "levelshots", "scripts"}) {
        struct stat st;
        ASSERT_EQ(stat(d, &st), 0);
        EXPECT_EQ(st.st_mode & 0700, 0700u) << d;
    }
}

TEST(CreatDir, EmptyOptionalFieldsCreateNothingForThem) {
    temp_dir dir;
    write_file("l.bsp", "bsp");
    texts t{"", dir.path + "/l.bsp", "", ""};
    form_record f = staging_form(t);
    std::string out = stage(f);
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
    write_file("l.bsp", "bsp");
    texts t{dir.path + "/tex", dir.path + "/l.bsp"};
    form_record f = staging_form(t);
    std::string out = stage(f);
    EXPECT_EQ(list_dir("textures"), (std::vector<std::string>{"a.tga", "b.jpg", "link.tga"}));
    EXPECT_EQ(read_file("textures/a.tga"), "A");
    EXPECT_EQ(read_file("textures/b.jpg"), "B");
    EXPECT_EQ(read_file("textures/link.tga"), "A");
    EXPECT_EQ(out.find("sub"), std::string::npos) << out;
    EXPECT_EQ(out.find("pipe"), std::string::npos) << out;
}

TEST(CreatDir, CopiesAreNamedAfterTheMapWithTheExtensionRule) {
    struct {
        const char *source, *copy;
    } cases[] = {
        {"Level.BSP", "maps/mymap.BSP"}, {"level.final.bsp", "maps/mymap.bsp"},
        {"level", "maps/mymaplevel"},    {".bsp", "maps/mymap.bsp"},
        {"a.b.c.", "maps/mymap."},       {"..x", "maps/mymap.x"},
    };
    for (const auto &c : cases) {
        temp_dir dir;
        mkdir("d.dir", 0755);
        write_file(std::string("d.dir/") + c.source, c.source);
        texts t{"", dir.path + "/d.dir/" + c.source};
        form_record f = staging_form(t);
        stage(f);
        EXPECT_EQ(list_dir("maps").size(), 1u) << c.source;
        EXPECT_EQ(read_file(c.copy), c.source) << c.source;
    }
}

TEST(CreatDir, LevelshotAndAasAreRenamedToo) {
    temp_dir dir;
    write_file("shot.jpg", "J");
    write_file("bots.aas", "A");
    write_file("l.bsp", "B");
    texts t{"", dir.path + "/l.bsp", dir.path + "/bots.aas", dir.path + "/shot.jpg", "other"};
    form_record f = staging_form(t);
    stage(f);
    EXPECT_EQ(list_dir("maps"), (std::vector<std::string>{"other.aas", "other.bsp"}));
    EXPECT_EQ(read_file("levelshots/other.jpg"), "J");
    EXPECT_EQ(read_file("maps/other.aas"), "A");
}

TEST(CreatDir, BareFileNamesAreTakenFromTheWorkingDirectory) {
    temp_dir dir;
    write_file("level.bsp", "bare");
    write_file("shot.jpg", "shot");
    texts t{"", "level.bsp", "", "shot.jpg"};
    form_record f = staging_form(t);
    std::string out = stage(f);
    EXPECT_EQ(read_file("maps/mymap.bsp"), "bare");
    EXPECT_EQ(read_file("levelshots/mymap.jpg"), "shot");
    EXPECT_NE(out.find(copy_line("level.bsp", "mymap/", "maps/",
                                 "cp \"./level.bsp\" \"maps/mymap.bsp\"")),
              std::string::npos)
        << out;
}

TEST(CreatDir, ReusesAnEarlierTreeAndReplacesItsCopies) {
    temp_dir dir;
    mkdir("maps", 0755);
    mkdir("textures", 0755);
    write_file("maps/mymap.bsp", std::string(100000, 'o'));
    write_file("maps/older.bsp", "older");
    write_file("textures/a.tga", "old a, longer than the new one");
    // A copy left read-only by an earlier run is still replaced.
    chmod("textures/a.tga", 0444);
    write_file("textures/kept.tga", "kept");
    mkdir("tex", 0755);
    write_file("tex/a.tga", "new a");
    write_file("l.bsp", "new bsp");
    texts t{"tex", dir.path + "/l.bsp"};
    form_record f = staging_form(t);
    stage(f);
    EXPECT_EQ(read_file("maps/mymap.bsp"), "new bsp");
    EXPECT_EQ(read_file("maps/older.bsp"), "older");
    EXPECT_EQ(read_file("textures/a.tga"), "new a");
    EXPECT_EQ(read_file("textures/kept.tga"), "kept");
}

TEST(CreatDir, ASecondMapLandsBesideTheFirst) {
    temp_dir dir;
    write_file("one.bsp", "one");
    write_file("two.bsp", "two");
    texts first{"", dir.path + "/one.bsp"};
    form_record f = staging_form(first);
    stage(f);
    texts second{"", dir.path + "/two.bsp", "", "", "other"};
    form_record g = staging_form(second);
    stage(g);
    EXPECT_EQ(g.map_prefix, "other/");
    EXPECT_EQ(list_dir("maps"), (std::vector<std::string>{"mymap.bsp", "other.bsp"}));
    EXPECT_EQ(read_file("maps/mymap.bsp"), "one");
    EXPECT_EQ(read_file("maps/other.bsp"), "two");
    EXPECT_EQ(list_dir("scripts"), (std::vector<std::string>{"mymap.arena", "other.arena"}));
}

TEST(CreatDir, AFileIsNeverCopiedOntoItself) {
    temp_dir dir;
    mkdir("maps", 0755);
    mkdir("textures", 0755);
    write_file("maps/mymap.bsp", "staged bsp");
    write_file("textures/t.tga", "staged texture");
    // The user picked the staged copies themselves as sources.
    texts t{"textures", "maps/mymap.bsp", "./maps/mymap.bsp"};
    form_record f = staging_form(t);
    stage(f);
    EXPECT_EQ(read_file("maps/mymap.bsp"), "staged bsp");
    EXPECT_EQ(read_file("textures/t.tga"), "staged texture");
}

TEST(CreatDir, HostileNamesAreCopiedAndNothingIsRun) {
    temp_dir dir;
    const std::string names[] = {
        "q\"uote.tga",  "$(>pwned1).tga", "`>pwned2`.tga", "back\\slash.tga",
        "sp  ace .tga", "new\nline.tga",  "-rf",           "x\";>pwned3;\"",
        "$HOME.tga",    "\xe9t\xe9.tga",
    };
    std::string src = "src $(>pwned4) `>pwned5`";
    mkdir(src.c_str(), 0755);
    mkdir((src + "/tex \"x\"").c_str(), 0755);
    unsigned seed = 10;
    for (const std::string &n : names) {
        write_file(src + "/tex \"x\"/" + n, random_bytes(3000 + seed, seed));
        ++seed;
    }
    write_file(src + "/lev\"el $(>pwned6).bsp", "level");
    texts t{src + "/tex \"x\"", dir.path + "/" + src + "/lev\"el $(>pwned6).bsp"};
    t.map = "m$(>pwned7)";
    form_record f = staging_form(t);

    long faults = child_page_faults();
    std::string out = stage(f);
    EXPECT_EQ(child_page_faults(), faults) << "a child process ran";

    std::vector<std::string> want(std::begin(names), std::end(names));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(list_dir("textures"), want);
    for (const std::string &n : names)
        EXPECT_EQ(read_file("textures/" + n), read_file(src + "/tex \"x\"/" + n)) << n;
    EXPECT_EQ(read_file("maps/m$(>pwned7).bsp"), "level");
    for (int i = 1; i <= 7; ++i)
        for (const std::string &where : {std::string("."), src, src + "/tex \"x\""})
            EXPECT_FALSE(path_exists(where + "/pwned" + std::to_string(i))) << where << i;
    EXPECT_EQ(list_dir(src), (std::vector<std::string>{"lev\"el $(>pwned6).bsp", "tex \"x\""}));
    // The line still shows the command text, backslash turned into '/'.
    EXPECT_NE(
        out.find(" :cp \"" + src + "/tex \"x\"/back/slash.tga\" \"textures/back/slash.tga\"\n"),
        std::string::npos)
        << out;
}

TEST(CpFileInDir, CopiesFromTheDirectoryAndNamesTheDestination) {
    temp_dir dir;
    mkdir("in", 0755);
    mkdir("textures", 0755);
    mkdir("maps", 0755);
    std::string big = random_bytes(5 << 20, 7);
    write_file("in/rock1.tga", big);
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    cp_file_in_dir("in", "mymap/", "textures/", "rock1.tga", 0);
    cp_file_in_dir("in", "mymap/", "maps/", "rock1.tga", 1);
    cp_file_in_dir("in", "mymap/", "maps/", "missing.bsp", 1);
    cp_file_in_dir("D:\\work\\tex", "mymap/", "textures/", "rock2.tga", 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_file("textures/rock1.tga"), big);
    EXPECT_EQ(read_file("maps/mymap.tga"), big);
    EXPECT_EQ(list_dir("maps"), std::vector<std::string>{"mymap.tga"});
    EXPECT_EQ(list_dir("textures"), std::vector<std::string>{"rock1.tga"});
    EXPECT_EQ(out, copy_line("rock1.tga", "mymap/", "textures/",
                             "cp \"in/rock1.tga\" \"textures/rock1.tga\"") +
                       copy_line("rock1.tga", "mymap/", "maps/",
                                 "cp \"in/rock1.tga\" \"maps/mymap.tga\"") +
                       copy_line("missing.bsp", "mymap/", "maps/",
                                 "cp \"in/missing.bsp\" \"maps/mymap.bsp\"") +
                       copy_line("rock2.tga", "mymap/", "textures/",
                                 "cp \"D:/work/tex/rock2.tga\" \"textures/rock2.tga\""));
}

TEST(CpFileInDir, PseudoFilesThatReportNoSizeAreCopiedWhole) {
    temp_dir dir;
    mkdir("textures", 0755);
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    cp_file_in_dir("/proc/self", "m/", "textures/", "status", 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(read_file("textures/status").rfind("Name:", 0), 0u);
}

} // namespace
