// The player's other pk3s, made here in a game folder and a home folder,
// against a planned package; then the command line asking about them.
#include "level/other_packages.h"

#include "check/check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "support.h"

namespace {

using list = std::vector<std::string>;

const std::string game = "baseoa/", home = "h/.openarena/baseoa/";

std::string file_line(const std::string &path, const std::string &pk3, const std::string &taken) {
    return "Conflit : " + path + " existe aussi dans " + pk3 +
           ", avec un autre contenu ; le jeu prendra celui de " + taken;
}

std::string shader_line(const std::string &pk3, const std::string &script,
                        const std::string &taken) {
    return "Conflit de shader : textures/s/glow est aussi defini par " + pk3 + " (" + script +
           ") ; le jeu prendra celui de " + taken;
}

// The package of map m: a texture and a script; the others as each row makes them.
TEST(OtherPackages, EachRuleNamesTheConflictAndThePk3TheGameTakes) {
    const std::string ours = "textures/s/glow\n{\n\t{ map textures/s/a.tga }\n}\n",
                      same = "// ours\nTEXTURES/S/GLOW {{ MAP textures/s/a.tga } /* x */ }",
                      other = "textures/s/glow { { map textures/s/b.tga } }",
                      tex = "textures/s/a.tga", script = "scripts/m.shader", us = "ce pk3",
                      z = game + "z.pk3", n = home + "n.pk3", l = home + "l.pk3",
                      u = home + "_.pk3", zs = "scripts/z.shader";
    struct {
        const char *what;
        std::vector<std::pair<std::string, list>> pk3s; // path, then entries' names and bytes
        list lines;
    } rows[] = {
        {"same bytes", {{z, {tex, "AAAA"}}}, {}},
        // Notes for people, which the game never reads.
        {"a readme of other bytes", {{z, {"ReadMe.txt", "theirs"}}}, {}},
        {"same size, other bytes", {{z, {tex, "AAAB"}}}, {file_line(tex, z, us)}},
        {"other size, name in capitals", {{z, {"Textures/S/A.TGA", "A"}}}, {file_line(tex, z, us)}},
        {"home, sorting after the map", {{n, {tex, "A"}}}, {file_line(tex, n, n)}},
        {"home, sorting before it", {{l, {tex, "A"}}}, {file_line(tex, l, us)}},
        // The game sorts capitals: '_' comes after every letter.
        {"home, '_'", {{u, {tex, "A"}}}, {file_line(tex, u, u)}},
        {"the game's own and the map's earlier release",
         {{game + "pak9.pk3", {tex, "A"}},
          {game + "M.PK3", {tex, "A"}},
          {home + "Pak0.pk3", {tex, "A"}}},
         {}},
        {"same definition, written otherwise", {{z, {zs, same}}}, {}},
        // Searched after ours, so its script is joined before ours.
        {"another definition in the game folder", {{z, {zs, other}}}, {shader_line(z, zs, z)}},
        {"searched first, so joined after ours", {{n, {zs, other}}}, {shader_line(n, zs, us)}},
        // A script name is read from the first pk3 that holds it.
        {"our script's name, searched after ours",
         {{z, {"Scripts/M.shader", other}}},
         {file_line(script, z, us), shader_line(z, "Scripts/M.shader", us)}},
        {"our script's name, searched first",
         {{n, {script, other}}},
         {file_line(script, n, n), shader_line(n, script, n)}},
    };
    const std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", "h", 1);
    for (const auto &row : rows) {
        temp_dir dir;
        write_file("a.tga", "AAAA");
        write_file("r.txt", "ours");
        write_file("m.shader", ours);
        // None of these is read: a named pipe is not waited on.
        write_file(game + "bad.pk3", "PK\3\4 not a zip");
        mkdir((game + "dir.pk3").c_str(), 0755);
        mkfifo((game + "fifo.pk3").c_str(), 0644);
        std::filesystem::create_directories(home);
        for (const auto &[path, entries] : row.pk3s)
            write_zip(path, entries);
        package_plan plan;
        plan.game_dir = "baseoa";
        plan.files = {{tex, "a.tga", 4}, {script, "m.shader", ours.size()}, {"README.txt", "r.txt", 4}};
        EXPECT_EQ(plan_conflicts(plan, "m"), row.lines) << row.what;
        // --check of the package made, beside the game's own pak, says the same.
        write_zip(game + "pak0.pk3", {"x", ""});
        write_zip("m.pk3", {tex, "AAAA", script, ours, "README.txt", "ours"});
        std::vector<std::string> lines;
        for (const conflict &c : check_package("m.pk3", "baseoa").conflicts)
            lines.push_back(conflict_line(c));
        EXPECT_EQ(lines, row.lines) << row.what;
    }
    setenv("HOME", old_home.c_str(), 1);
}

// The game's shader kept and another pk3's texture asked about: after the dry
// run's entries (--quiet hides no listing), and before anything is written.
TEST(OtherPackages, TheCommandLineListsSaysWhatTheGameTakesAndWritesOnlyWithYes) {
    temp_dir work;
    const list lines = write_game_and_author();
    mkdir("h", 0755);
    const list before = list_dir("."),
               options[] = {{"--dry-run", "--quiet"}, {}, {"--yes", "--quiet"}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        list args = words("env -u DISPLAY HOME=h LC_ALL=C.UTF-8 " MAPCRATE_PROGRAM
                          " --bsp l.bsp --name m --textures g/textures --game baseoa --modes ffa");
        args.insert(args.end(), options[i].begin(), options[i].end());
        run_result run = run_program(args);
        EXPECT_EQ(run.status, i == 2 ? 0 : 1) << run.err;
        // The dry run's entries, then the plan's lines.
        const std::string e = i ? "\n\n" : "\n",
                          listing = i ? "" : run.out.substr(0, run.out.find("Fichiers du jeu"));
        EXPECT_EQ(run.out, i == 2 ? ""
                                  : listing + "Fichiers du jeu : baseoa (2 fichiers)" + e +
                                        lines[0] + e + lines[1] + e);
        EXPECT_EQ(listing.rfind("textures/s/own.tga\t", 0), i ? std::string::npos : 0);
        EXPECT_NE(run.err.find(lines[1]), std::string::npos) << run.err;
        EXPECT_EQ(list_dir(".") == before, i < 2);
    }
    // A file another pk3 holds, with the same bytes or not, stays in the package.
    EXPECT_EQ(zip_names("m.pk3"), words("textures/s/own.tga textures/set/a.tga textures/set/b.tga "
                                        "maps/m.bsp scripts/m.arena mapcrate"));
}

} // namespace
