// The staging tree, its scripts and the packer's list, read back from the archive.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <string>

#include "mapcrate.h"
#include "support.h"

namespace {

using list = std::vector<std::string>;

std::string le32(size_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// A level naming shaders (lump 1) and fogs (lump 12).
std::string bsp(const list &shaders, const list &fogs) {
    std::string lumps[17], out = "IBSP" + le32(46);
    for (int l : {1, 12})
        for (const std::string &n : l == 1 ? shaders : fogs)
            lumps[l] += n + std::string(72 - n.size(), '\0');
    for (size_t i = 0, offset = 8 + 17 * 8; i < 17; offset += lumps[i++].size())
        out += le32(offset) + le32(lumps[i].size());
    return out + lumps[1] + lumps[12];
}

// Stages and packs as Execute does, with no child process: the archive's names, sorted.
std::string printed;

list stage_and_pack(const std::string &textures, const std::string &bsp_path,
                    const char *map = "mymap") {
    form_record f;
    f.textures_dir = textures.c_str();
    f.bsp_path = bsp_path.c_str();
    f.aas_path = f.levelshot_path = f.description = "";
    f.map_name = map;
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    testing::internal::CaptureStdout();
    name_of_dir(&f);
    EXPECT_EQ(creat_dir(&f), "");
    int count = creat_argv(&f);
    EXPECT_EQ(pk3_dir(count, argv_view(f.pack_argv).data()), 0);
    std::fflush(stdout);
    printed = testing::internal::GetCapturedStdout();
    getrusage(RUSAGE_CHILDREN, &after);
    EXPECT_EQ(after.ru_minflt, before.ru_minflt) << "a child process ran";
    zip_reading z = read_zip_with_python(f.pack_argv[3]);
    list names;
    for (const zip_entry &e : z.entries) {
        EXPECT_TRUE(e.data == read_file(e.name)) << e.name;
        names.push_back(e.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CreatDir, PutsTexturesInTheSetFoldersTheLevelNamesWithTheirShaderScripts) {
    const list set1 = {"textures/set1/a.tga", "textures/set1/b.jpg", "textures/set1/u.tga"};
    struct {
        const char *textures;
        list entries;
    } rows[] = {
        {"flat", {"textures/q.tga"}},
        {"game/textures", {"scripts/set1.shader", "textures/set2/c.tga", "textures/set2/d.tga"}},
        // Several sets side by side: the unnamed file goes with the most named.
        {"mixed", {"textures/set2/d.tga"}},
        {"game/textures/set1", {"scripts/set1.shader"}},
    };
    for (const auto &row : rows) {
        temp_dir dir;
        run_program({"mkdir", "-p", "game/textures/set1", "game/textures/set2",
                     "game/textures/other", "game/scripts", "mixed", "flat"});
        for (const char *p :
             {"game/textures/set1/a.tga", "game/textures/set1/b.jpg", "game/textures/set1/u.tga",
              "game/textures/set2/c.tga", "game/textures/set2/d.tga", "game/textures/other/z.tga",
              "game/scripts/x.arena", "mixed/a.tga", "mixed/b.jpg", "mixed/d.tga", "mixed/u.tga",
              "flat/q.tga"})
            write_file(p, p);
        // Comments, a quoted name, stages in nested braces; animMap's frames follow its rate.
        write_file("game/scripts/set1.shader",
                   "// textures/set1/x {\n\"textures/set1/glow\" { /* map textures/other/z.tga */\n"
                   "{ animMap 2 textures/set2/none.tga textures/set2/c.tga } }");
        write_file("game/scripts/unused.shader", "textures/other/z { }");
        // Names compare as the game compares them; none may lead out of textures/.
        write_file("m.bsp", bsp({"textures/set1/a", "textures/set1/glow", "textures/../x/a",
                                 "textures/SET1\\B.TGA"},
                                {"textures/set2/d"}));
        list entries = row.entries;
        entries.insert(entries.end(), {"mapcrate", "maps/mymap.bsp", "scripts/mymap.arena"});
        if (row.textures != std::string("flat"))
            entries.insert(entries.end(), set1.begin(), set1.end());
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(stage_and_pack(row.textures, "m.bsp"), entries) << row.textures;
        EXPECT_FALSE(path_exists("x"));
    }
    EXPECT_NE(printed.find("Copie du fichier a.tga vers le dossier : mymap/textures/set1/\n"
                           " :cp \"game/textures/set1/a.tga\" \"textures/set1/a.tga\"\n\n"),
              std::string::npos)
        << printed;
}

TEST(CreatDir, HostileNamesAndThousandsOfFilesAreCopiedByteExactAndRepacked) {
    temp_dir dir;
    list names = {"q\"uote.tga",     "$(>pwned1).tga", "`>pwned2`.tga",
                  "back\\slash.tga", "new\nline.tga",  "-rf",
                  "x\";>pwned3;\"",  "\xe9t\xe9.tga"};
    // Far more than the 2048 the list once had room for.
    for (int i = 0; i < 2100; ++i)
        names.push_back("t" + std::to_string(i));
    std::string tex = "src $(>pwned4) `>pwned5` \"x\"";
    mkdir(tex.c_str(), 0755);
    for (size_t i = 0; i < names.size(); ++i)
        write_file(tex + "/" + names[i], std::string(100 + i, char(i)));
    chmod((tex + "/-rf").c_str(), 0444);
    write_file("lev\"el $(>pwned6).bsp", "level");
    EXPECT_EQ(stage_and_pack(tex, "lev\"el $(>pwned6).bsp", "-m$(>pwned7)").size(),
              names.size() + 3);
    for (const std::string &n : names)
        EXPECT_TRUE(read_file("textures/" + n) == read_file(tex + "/" + n)) << n;
    // The staged copies as sources: each copied onto itself stays whole.
    stage_and_pack("textures", "maps/-m$(>pwned7).bsp", "-m$(>pwned7)");
    EXPECT_EQ(read_file("maps/-m$(>pwned7).bsp"), "level");
    struct stat st;
    ASSERT_EQ(stat("textures/-rf", &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u) << "a later Execute could not replace the copy";
    for (int i = 1; i <= 7; ++i)
        for (const std::string &where : {std::string("."), tex})
            EXPECT_FALSE(path_exists(where + "/pwned" + std::to_string(i))) << where << i;
}

TEST(CreatArgv, WalksTexturesDepthFirstAndReadsNoMapNameAsOptions) {
    temp_dir dir;
    run_program({"mkdir", "-p", "textures/s/t", "maps/sub", "levelshots"});
    for (const char *p : {"textures/z.tga", "textures/s/y.tga", "textures/s/t/x.tga",
                          "levelshots/old.jpg", "maps/mymap.bsp", "maps/sub/inner.bsp"})
        write_file(p, p);
    ASSERT_EQ(mkfifo("maps/pipe.bsp", 0644), 0);
    form_record f;
    f.levelshot_path = "", f.textures_dir = "t", f.bsp_path = "/anywhere/level.bsp";
    f.map_name = "-o9";
    name_of_dir(&f);
    // A folder's files before its sub-folders, each walked whole in turn.
    EXPECT_EQ(creat_argv(&f), 9);
    EXPECT_EQ(f.pack_argv,
              (list{"Mapcrate.exe", "-o", "-9", "./-o9.pk3", "textures/z.tga", "textures/s/y.tga",
                    "textures/s/t/x.tga", "maps/mymap.bsp", "mapcrate"}));
}

TEST(GenerScripts, ArenaFileOverALongerOneAndTheCredits) {
    temp_dir dir;
    mkdir("scripts", 0755);
    write_file("scripts/q\"x.arena", std::string(4096, 'x'));
    form_record f;
    f.map_name = "q\"x", f.description = "Le \"grand\"\ntwo";
    std::copy_n(std::array{1, 0, 1, 1, -1, 0, 7, 1}.begin(), 8, f.mode_states);
    EXPECT_EQ(gener_scripts(&f), "");
    // The game would cut a value at a double quote; CR LF as in text mode.
    EXPECT_EQ(read_file("scripts/q\"x.arena"),
              "{\r\nmap \"q'x\"\r\nbots \"phobos\"\r\nlongname \"Le 'grand'\r\ntwo\"\r\n"
              "fraglimit 20\r\ntimelimit 60\r\ntype \"ffa ctf single tourney 1v1 2v2 \"\r\n}\r\n");
    // No line end after the zip library's address.
    std::string credits = read_file("mapcrate");
    EXPECT_EQ(credits.rfind("\r\nhttp://www.winimage.com/zLibDll/minizip.html"),
              credits.size() - 46);
}

} // namespace
