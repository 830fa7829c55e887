// The game's archives and the links of the author's folders, a row per rule.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "level/game_files.h"
#include "level/plan.h"
#include "support.h"

namespace {

using list = std::vector<std::string>;

// A zip's bytes, as write_zip makes them.
std::string zip_bytes(const list &names_and_data) {
    write_zip("z.zip", names_and_data);
    std::string bytes = read_file("z.zip");
    unlink("z.zip");
    return bytes;
}

// Beside a good pak0.pk3, what pak1 is: the shaders read from it, and the
// lines about it.  An archive that cannot be read whole adds no entry.
TEST(GameArchives, OnlyWholeRegularZipsAreReadAndTheOthersNamed) {
    temp_dir dir;
    const std::string pak0 = zip_bytes({"maps/a.bsp", ""});
    const std::string good = zip_bytes({"scripts/q.shader", "=0", "b.tga", ""});
    std::string bad_crc = good;
    bad_crc[bad_crc.find("scripts/q.shader") + 20] ^= 1; // inside its data
    const std::string cut = "Pk3 du jeu illisible : g/pak1.pk3 : ";
    struct {
        const char *what, *name;
        std::string bytes; // "fifo" makes one
        list shaders, notes;
    } rows[] = {
        {"a name in capitals", "PAK1.Pk3", good, {"q"}, {}},
        {"scripts of 16 MiB and one byte more", "pak1.pk3",
         zip_bytes({"scripts/edge.shader", "=16777216", "scripts/over.shader", "=16777217"}),
         {"edge"}, {"Script de shaders trop grand, ignor\xe9 : g/pak1.pk3/scripts/over.shader"}},
        {"a named pipe", "pak1.pk3", "fifo", {}, {cut + "pas un fichier ordinaire"}},
        {"not a zip", "pak1.pk3", "PK not a zip", {}, {cut + "pas une archive zip"}},
        {"cut short", "pak1.pk3", good.substr(0, good.size() - 30), {},
         {cut + "archive coup\xe9" "e"}},
        {"a script that does not inflate", "pak1.pk3", bad_crc, {},
         {cut + "entr\xe9" "e illisible : scripts/q.shader"}},
    };
    for (const auto &row : rows) {
        std::filesystem::remove_all("g");
        write_file("g/pak0.pk3", pak0);
        std::string pak1 = "g/" + std::string(row.name);
        if (row.bytes == "fifo")
            ASSERT_EQ(mkfifo(pak1.c_str(), 0644), 0);
        else
            write_file(pak1, row.bytes);
        game_files game = read_game_files("g");
        list shaders;
        for (const shader_def &def : game.shaders)
            shaders.push_back(def.name);
        EXPECT_EQ(std::tie(shaders, game.count, game.notes),
                  std::make_tuple(row.shaders, row.shaders.empty() ? 1u : 3u, row.notes))
            << row.what;
    }
}

// A place whose pak0.pk3 cannot be read does not count: the next one is taken.
TEST(GameArchives, ThePlaceOfAnUnreadablePak0IsPassedOver) {
    temp_dir dir;
    write_file("good/pak0.pk3", zip_bytes({"maps/a.bsp", ""}));
    write_file("bad/pak0.pk3", read_file("good/pak0.pk3").substr(0, 40));
    setenv("MAPCRATE_GAME_DIR", "good", 1);
    list notes;
    EXPECT_EQ(find_game_dir("bad", "bad", notes), "good");
    EXPECT_EQ(notes, list{"Pk3 du jeu illisible : bad/pak0.pk3 : archive coup\xe9"
                          "e"});
    unsetenv("MAPCRATE_GAME_DIR");
}

std::string here() {
    return std::filesystem::canonical(".").string();
}

void link_to(const std::string &target, const std::string &link) {
    std::filesystem::remove_all(link);
    std::filesystem::create_symlink(target, link);
}

// A used file is taken only when it is a regular file that really lies in
// the author's folders: links inside are followed, the rest is named and
// counts as missing.  A name with a backslash answers no name of the map;
// one with a leading slash answers the name without it, as in the engine.
TEST(PlanLinks, NothingIsTakenFromOutsideTheAuthorsFolders) {
    const list found = {"textures/s/a.tga"};
    const std::string out = "Lien hors du dossier du jeu, non suivi : ";
    struct {
        const char *what;
        void (*make)();
        list planned, notes, missing;
    } rows[] = {
        {"a texture linking out",
         [] { link_to(here() + "/outside/secret", "game/textures/s/a.tga"); }, {},
         {out + "textures/s/a.tga -> @/outside/secret"}, found},
        {"a set folder linked from elsewhere",
         [] {
             std::filesystem::rename("game/textures/s", "outside/s");
             link_to(here() + "/outside/s", "game/textures/s");
         },
         {}, {out + "textures/s/a.tga -> @/outside/s/a.tga"}, found},
        {"a top folder linked from elsewhere",
         [] { write_file("outside/snd/x.wav", "x"); link_to("../outside/snd", "game/sound"); },
         found, {out + "sound/x.wav -> @/outside/snd/x.wav"}, {"sound/x.wav"}},
        {"links inside the game folder",
         [] {
             write_file("game/env/real.tga", "r"); write_file("game/sfx/x.wav", "x");
             link_to("../../env/real.tga", "game/textures/s/a.tga"); link_to("sfx", "game/sound");
         },
         {"textures/s/a.tga", "sound/x.wav"}, {}, {}},
        {"a named pipe",
         [] { unlink("game/textures/s/a.tga"); mkfifo("game/textures/s/a.tga", 0644); },
         {}, {out + "textures/s/a.tga -> @/game/textures/s/a.tga"}, found},
        {"a folder named ..\\..", [] { write_file("game/sound/..\\../x.wav", "x"); }, found, {},
         {}},
        // Packed whole, a flat textures folder leaves out what reads as leading up.
        {"a flat textures folder",
         [] { write_file("flat/..\\..\\x.tga", "x"); write_file("flat/q.tga", "q"); },
         {"textures/q.tga"}, {}, {}},
        {"an author's script over the limit",
         [] {
             write_file("game/pak0.pk3", zip_bytes({"maps/other.bsp", ""}));
             write_file("game/scripts/big.shader", std::string((16 << 20) + 1, ' '));
         },
         found, {"Script de shaders trop grand, ignor\xe9 : game/scripts/big.shader"},
         {"textures/s/big", "sound/x.wav", "sound/../../x.wav", "scripts/big.shader"}},
    };
    setenv("MAPCRATE_GAME_DIR", "", 1);
    for (const auto &row : rows) {
        temp_dir dir;
        write_file("game/textures/s/a.tga", "a");
        write_file("outside/secret", "s");
        write_file("m.bsp",
                   level_bytes({"textures/s/a", "textures/s/big"}, {},
                               R"({ "noise" "/sound/x.wav" } { "noise" "sound/../../x.wav" })"));
        row.make();
        const char *textures = row.planned == list{"textures/q.tga"} ? "flat" : "game/textures";
        package_plan plan = plan_package({textures, "m.bsp", "", "", "m", ""});
        list planned;
        for (const planned_file &f : plan.files)
            if (f.game_path != "maps/m.bsp")
                planned.push_back(f.game_path);
        list notes = row.notes;
        for (std::string &note : notes)
            if (size_t at = note.find('@'); at != std::string::npos)
                note.replace(at, 1, here());
        EXPECT_EQ(std::tie(planned, plan.notes, plan.missing),
                  std::tie(row.planned, notes, row.missing))
            << row.what;
    }
    unsetenv("MAPCRATE_GAME_DIR");
}

} // namespace
