// The staging tree, its scripts and the packer's list, read back from the archive.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <string>

#include "mapcrate.h"
#include "support.h"

namespace {

using list = std::vector<std::string>;

// Plans, stages and packs as Execute does, with no child process; between
// planning and staging, meddle may change the files.
struct execution {
    outcome result;
    package_plan plan;
    std::string printed;
    list names; // the archive's, sorted
};

execution execute(const std::string &textures, const std::string &bsp, const char *map = "mymap",
                  void (*meddle)() = nullptr) {
    form_record f;
    f.textures_dir = textures.c_str();
    f.bsp_path = bsp.c_str();
    f.aas_path = f.levelshot_path = f.description = "";
    f.map_name = map;
    execution run;
    run.plan = f.plan = plan_package({textures, bsp, "", "", map, ""});
    if (meddle)
        meddle();
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    testing::internal::CaptureStdout();
    run.result = stage_and_pack(&f);
    run.printed = testing::internal::GetCapturedStdout();
    getrusage(RUSAGE_CHILDREN, &after);
    EXPECT_EQ(after.ru_minflt, before.ru_minflt) << "a child process ran";
    for (const zip_entry &e : read_zip_with_python(std::string(map) + ".pk3").entries) {
        EXPECT_TRUE(e.data == read_file(e.name)) << e.name;
        run.names.push_back(e.name);
    }
    std::sort(run.names.begin(), run.names.end());
    return run;
}

TEST(CreatDir, PacksWhatTheMapUsesFromTheGameFolderLessWhatTheGameShips) {
    const list used = words(
        "env/sky_bk.tga env/sky_dn.tga env/sky_ft.tga env/sky_lf.tga env/sky_rt.tga env/sky_up.tga "
        "maps/mymap.bsp mapcrate models/m.md3 music/intro.ogg scripts/mymap.arena "
        "scripts/set1.shader sound/s/hum.wav textures/set1/a.tga textures/set1/b.jpg "
        "textures/set2/c.tga textures/set2/d.tga textures/set2/skin.tga video/intro.roq");
    const list owned = {"scripts/base.shader", "textures/shipped/s.tga"};
    const list missing = {"models/gone.md3", "textures/set2/none.tga", "textures/../x/a",
                          "sound/none.wav", "music/loop"};
    struct {
        const char *textures;
        bool game;
        list more;
    } rows[] = {
        {"game/textures", true, {}},
        // A set folder: the other sets come from the game folder.
        {"game/textures/set1", true, {}},
        // Without the game's files nothing is left out.
        {"game/textures", false, owned},
        {"flat", true, {"textures/q.tga"}},
    };
    setenv("MAPCRATE_GAME_DIR", "", 1);
    for (const auto &row : rows) {
        temp_dir dir;
        for (const std::string &p : words(
                 "textures/set1/a.tga textures/set1/b.jpg textures/set1/u.tga textures/set2/c.tga "
                 "textures/set2/d.tga textures/other/z.tga textures/set2/skin.tga "
                 "textures/shipped/s.tga env/sky_rt.tga env/sky_bk.tga env/sky_lf.tga "
                 "env/sky_ft.tga env/sky_up.tga env/sky_dn.tga env/other_rt.tga video/intro.roq "
                 "sound/s/hum.wav sound/s/unused.wav music/intro.ogg scripts/x.arena"))
            write_file("game/" + p, p);
        write_file("flat/q.tga", "q");
        write_file("game/models/m.md3", md3_bytes({{"textures/set2/skin"}}));
        // Comments, a quoted name, stages in nested braces; animMap's frames follow its rate.
        write_file("game/scripts/set1.shader",
                   "// textures/set1/x {\n\"textures/set1/glow\" { /* map textures/other/z.tga */\n"
                   "{ animMap 2 textures/set2/none.tga textures/set2/c.tga } }\n"
                   "textures/set1/sky { skyParms - 512 env/sky\n{ videoMap intro.roq } }");
        write_file("game/scripts/unused.shader", "textures/other/z { }");
        write_file("game/scripts/base.shader", "textures/base/w { }");
        if (row.game)
            write_zip("game/pak0.pk3", {"textures/shipped/S.jpg", "", "scripts/base.shader",
                                        "textures/base/w { { map textures/base/img } }",
                                        "textures/base/img.tga", "", "sound/shipped.wav", ""});
        // Names compare as the game compares them; none may lead out of textures/.
        write_file("m.bsp",
                   level_bytes({"textures/set1/a", "textures/set1/glow", "textures/../x/a",
                                "textures/SET1\\B.TGA", "textures/set1/sky", "textures/shipped/s",
                                "textures/base/w", "noshader"},
                               {"textures/set2/d"},
                               R"({ "classname" "worldspawn" "music" "music/intro.wav  music\loop" }
{ "noise" "sound/s/hum" } { "noise" "*falling1.wav" } { "noise" "sound/shipped.wav" }
{ "noise" "sound/none.wav" } { "model" "models/m.md3" } { "classname" "misc_model" "model" "x" }
{ "classname" "func_door" "music" "music/x" "model" "*1" "model2" "models/gone.md3" })"));
        list entries = row.more;
        if (row.textures == std::string("flat"))
            entries.insert(entries.end(), {"mapcrate", "maps/mymap.bsp", "scripts/mymap.arena"});
        else
            entries.insert(entries.end(), used.begin(), used.end());
        std::sort(entries.begin(), entries.end());
        execution run = execute(row.textures, "m.bsp");
        EXPECT_EQ(run.names, entries) << row.textures;
        if (row.textures == std::string("game/textures")) {
            EXPECT_EQ(run.plan.game_owned, row.game ? owned : list{}) << row.game;
            EXPECT_EQ(run.plan.missing, row.game ? missing : list{}) << row.game;
            EXPECT_NE(
                run.printed.find("Copie du fichier a.tga vers le dossier : mymap/textures/set1/\n"
                                 " :cp \"game/textures/set1/a.tga\" \"textures/set1/a.tga\"\n\n"),
                std::string::npos)
                << run.printed;
        }
        EXPECT_FALSE(std::filesystem::exists("x"));
    }
    unsetenv("MAPCRATE_GAME_DIR");
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
    for (size_t i = 0; i < names.size(); ++i)
        write_file(tex + "/" + names[i], std::string(100 + i, char(i)));
    chmod((tex + "/-rf").c_str(), 0444);
    write_file("lev\"el $(>pwned6).bsp", "level");
    EXPECT_EQ(execute(tex, "lev\"el $(>pwned6).bsp", "-m$(>pwned7)").names.size(),
              names.size() + 3);
    for (const std::string &n : names)
        EXPECT_TRUE(read_file("textures/" + n) == read_file(tex + "/" + n)) << n;
    // The staged copies as sources: each copied onto itself stays whole.
    EXPECT_EQ(execute("textures", "maps/-m$(>pwned7).bsp", "-m$(>pwned7)").names.size(),
              names.size() + 3);
    EXPECT_EQ(read_file("maps/-m$(>pwned7).bsp"), "level");
    struct stat st;
    ASSERT_EQ(stat("textures/-rf", &st), 0);
    EXPECT_NE(st.st_mode & S_IWUSR, 0u) << "a later Execute could not replace the copy";
    for (int i = 1; i <= 7; ++i)
        for (const std::string &where : {std::string("."), tex})
            EXPECT_FALSE(std::filesystem::exists(where + "/pwned" + std::to_string(i)))
                << where << i;
}

// Links in the working folder: one where a file goes is replaced by the
// file, one where a folder goes stops the staging; what they lead to is
// never written.  A game path beginning with a dash is a plain entry, not
// the packer's option: not encrypted, and the next Execute replaces it.  A
// used file gone since the plan stops the staging too.
TEST(CreatDir, NoWriteThroughALinkAndNoGamePathReadAsAnOption) {
    const struct {
        const char *setup;
        std::string failed_on; // empty: staged and packed
        std::string reason = "lien symbolique, non suivi";
    } rows[] = {
        {"true", ""},
        {"touch gone-after-plan", "game/textures/s/a.tga", std::strerror(ENOENT)},
        {"ln -s ../outside/file maps/m.bsp", ""},
        {"ln -s ../outside/file scripts/m.arena", ""},
        {"ln -s outside/file mapcrate", ""},
        {"ln outside/file mapcrate", ""},
        {"ln -s ../../outside/file textures/s/a.tga", ""},
        {"rmdir maps && ln -s outside maps", "maps/"},
        {"rmdir textures/s && ln -s ../outside textures/s", "textures/s/"},
        {"rmdir scripts && ln -s outside scripts", "scripts/"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.setup);
        temp_dir dir;
        write_file("game/-p/x.wav", "sound");
        write_file("game/textures/s/a.tga", "a");
        write_file("m.bsp", level_bytes({"textures/s/a"}, {}, R"({ "noise" "-p/x.wav" })"));
        write_file("outside/file", "keep");
        ASSERT_EQ(system((std::string("mkdir -p maps scripts textures/s && ") + r.setup).c_str()),
                  0);
        for (int again = 0; again < (r.failed_on.empty() ? 2 : 1); ++again) {
            execution run = execute("game/textures", "m.bsp", "m", [] {
                if (std::filesystem::exists("gone-after-plan"))
                    unlink("game/textures/s/a.tga");
            });
            EXPECT_EQ(run.result.path + run.result.reason,
                      r.failed_on + (r.failed_on.empty() ? "" : r.reason));
            EXPECT_EQ(run.names, r.failed_on.empty() ? words("-p/x.wav mapcrate maps/m.bsp "
                                                             "scripts/m.arena textures/s/a.tga")
                                                     : list{});
            for (const zip_entry &e : read_zip_with_python("m.pk3").entries)
                EXPECT_EQ(e.flags & 1, 0) << e.name;
        }
        EXPECT_EQ(read_file("outside/file"), "keep");
        EXPECT_EQ(list_dir("outside"), (list{"file"}));
    }
}

TEST(GenerScripts, ArenaFileOverALongerOne) {
    temp_dir dir;
    write_file("scripts/q\"x.arena", std::string(4096, 'x'));
    form_record f;
    f.map_name = "q\"x", f.description = "Le \"grand\"\ntwo";
    std::copy_n(std::array{1, 0, 1, 1, -1, 0, 7, 1}.begin(), 8, f.mode_states);
    EXPECT_EQ(gener_scripts(&f).step, failed_step::none);
    // The game would cut a value at a double quote; CR LF as in text mode.
    EXPECT_EQ(read_file("scripts/q\"x.arena"),
              "{\r\nmap \"q'x\"\r\nbots \"phobos\"\r\nlongname \"Le 'grand'\r\ntwo\"\r\n"
              "fraglimit 20\r\ntimelimit 60\r\ntype \"ffa ctf single tourney 1v1 2v2 \"\r\n}\r\n");
}

} // namespace
