// The game's archives, and what the plan takes and says, a row per rule.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
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

// What the plan packs (the level aside) and says, a row per rule.  Each row writes its files (path,
// data, ...; data "->x" makes a link to x, "|" a named pipe) over game/textures/s/a.tga.  Unless
// the row gives a level, the level draws textures/s/a and textures/s/big and plays /sound/x.wav
// and sound/../../x.wav; "@" in a note is the working folder.
TEST(PackagePlan, WhatIsTakenAndWhatIsSaid) {
    temp_dir scratch; // for zip_bytes
    const list found = {"textures/s/a.tga"};
    const std::string x = "textures/s/x { }", pak = zip_bytes({"maps/other.bsp", ""});
    const std::string out = "Lien hors du dossier du jeu, non suivi : ", n52(52, 'n'), n53(53, 'n'),
                      long_script = "scripts/" + n52 + ".shader",
                      too_long = "Chemin trop long pour le jeu (64 octets ou plus) : ";
    struct {
        const char *what;
        list files, planned, notes, missing;
        std::string level = "";
        const char *textures = "game/textures";
    } rows[] = {
        // A used file is taken only when it is a regular file that really lies in the author's
        // folders: links inside are followed, the rest is named and counts as missing.
        {"a top folder linked from elsewhere",
         {"outside/snd/x.wav", "x", "game/sound", "->../outside/snd"}, found,
         {out + "sound/x.wav -> @/outside/snd/x.wav"}, {"sound/x.wav"}},
        {"links inside the game folder",
         {"game/env/real.tga", "r", "game/sfx/x.wav", "x", "game/textures/s/a.tga",
          "->../../env/real.tga", "game/sound", "->sfx"},
         {"textures/s/a.tga", "sound/x.wav"}, {}, {}},
        {"a named pipe", {"game/textures/s/a.tga", "|"}, {},
         {out + "textures/s/a.tga -> @/game/textures/s/a.tga"}, found},
        // A name with a backslash answers no name of the map; one with a
        // leading slash answers the name without it, as in the engine.
        {"a folder named ..\\..", {"game/sound/..\\../x.wav", "x"}, found, {}, {}},
        // Packed whole, a flat textures folder leaves out what reads as leading up.
        {"a flat textures folder", {"flat/..\\..\\x.tga", "x", "flat/q.tga", "q"},
         {"textures/q.tga"}, {}, {}, "", "flat"},
        // Of two names that differ only in case, the package takes the first.
        {"a model named as the level", {"game/Maps/M.bsp", "x"}, {"Maps/M.bsp"},
         {"Meme nom a la casse pres, laisse de cote : maps/m.bsp (garde : Maps/M.bsp)"}, {},
         level_bytes({}, {}, R"({ "model" "maps/M.bsp" })")},
        {"an author's script over the limit",
         {"game/pak0.pk3", pak, "game/scripts/big.shader",
          std::string((16 << 20) + 1, ' ')},
         found, {"Script de shaders trop grand, ignor\xe9 : game/scripts/big.shader"},
         {"textures/s/big", "sound/x.wav", "sound/../../x.wav", "scripts/big.shader"}},
        // Of the game's, the first archive's last script.
        {"the game's definition wins over the author's",
         {"game/pak0.pk3", zip_bytes({"scripts/e1.shader", x, "scripts/e2.shader", x}),
          "game/pak1.pk3", zip_bytes({"scripts/z.shader", x}), "game/scripts/b.shader",
          "textures/s/x { { map textures/s/mine.tga } }", "game/textures/s/mine.tga", ""},
         {}, {"Shader deja defini par le jeu, le votre est ignore : textures/s/x "
              "(scripts/e2.shader, scripts/b.shader)"}, {},
         level_bytes({"textures/s/x"})},
        // The engine reads the package's last script first.
        {"of two author's scripts, the one that sorts last",
         {"game/pak0.pk3", pak, "game/scripts/c.shader",
          "textures/s/y { { map textures/s/c.tga } } textures/s/z { }", "game/scripts/d.shader",
          "textures/s/y { { map textures/s/d.tga } }", "game/textures/s/c.tga", "",
          "game/textures/s/d.tga", ""},
         {"textures/s/d.tga", "scripts/c.shader", "scripts/d.shader"},
         {"Shader defini deux fois : textures/s/y (scripts/d.shader, scripts/c.shader)"}, {},
         level_bytes({"textures/s/y", "textures/s/z"})},
        // An image's extension is the engine's to add; a script's whole path counts.
        {"names of 64 bytes",
         {"game/pak0.pk3", pak, "game/textures/s/" + n52 + ".tga", "",
          "game/textures/s/" + n53 + ".tga", "", "game/" + long_script,
          "textures/s/q { { map textures/s/q2.tga } }", "game/textures/s/q2.tga", ""},
         {"textures/s/" + n52 + ".tga"}, {too_long + long_script, too_long + "textures/s/" + n53},
         {long_script, "textures/s/" + n53, "textures/s/q"},
         level_bytes({"textures/s/" + n52, "textures/s/" + n53, "textures/s/q"})},
    };
    setenv("MAPCRATE_GAME_DIR", "", 1);
    const std::string level =
        level_bytes({"textures/s/a", "textures/s/big"}, {},
                    R"({ "noise" "/sound/x.wav" } { "noise" "sound/../../x.wav" })");
    for (const auto &row : rows) {
        temp_dir dir;
        SCOPED_TRACE(row.what);
        write_file("game/textures/s/a.tga", "a");
        for (size_t i = 0; i + 1 < row.files.size(); i += 2) {
            const std::string &path = row.files[i], &data = row.files[i + 1];
            std::filesystem::remove_all(path);
            if (data.compare(0, 2, "->") == 0)
                std::filesystem::create_symlink(data.substr(2), path);
            else if (data == "|")
                ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
            else
                write_file(path, data);
        }
        write_file("m.bsp", row.level.empty() ? level : row.level);
        package_plan plan = plan_package({row.textures, "m.bsp", "", "", "m", ""});
        list planned, notes = row.notes;
        for (const planned_file &f : plan.files)
            if (f.game_path != "maps/m.bsp")
                planned.push_back(f.game_path);
        for (std::string &note : notes)
            if (size_t at = note.find('@'); at != std::string::npos)
                note.replace(at, 1, std::filesystem::canonical(".").string());
        EXPECT_EQ(std::tie(planned, plan.notes, plan.missing),
                  std::tie(row.planned, notes, row.missing));
    }
    unsetenv("MAPCRATE_GAME_DIR");
}

// Why each file is packed, a row per kind of use: the first use met.  textures/s/a is met as a
// shader of its own before st's stage names it; an entity is known by its first classname.
TEST(PackagePlan, EachFileSaysWhatUsesIt) {
    const std::map<std::string, std::string> uses = {
        {"textures/s/a.tga", "shader textures/s/a"}, {"textures/s/b.tga", "stage textures/s/st"},
        {"env/s/b_up.tga", "sky textures/s/st"},     {"textures/s/on_m.tga", "model models/m.md3"},
        {"music/in.wav", "entity worldspawn music"}, {"sound/x.wav", "entity target_speaker noise"},
        {"sound/y.wav", "entity - noise"},           {"models/m.md3", "entity func_static model2"},
        {"scripts/m.shader", "script textures/s/st"}, {"maps/m.bsp", "level"},
        {"maps/m.aas", "bots"},                      {"levelshots/m.jpg", "levelshot"}};
    temp_dir dir;
    setenv("MAPCRATE_GAME_DIR", "", 1);
    for (const auto &[path, use] : uses)
        write_file(path.compare(0, 5, "maps/") == 0 ? path.substr(5) : "game/" + path, "");
    write_file("game/models/m.md3", md3_bytes({{"textures/s/on_m"}}));
    write_file("game/scripts/m.shader", "textures/s/st { skyparms env/s/b - - "
                                        "{ map textures/s/a.tga } { map textures/s/b.tga } }");
    write_file("m.bsp", level_bytes({"textures/s/a", "textures/s/st"}, {},
                                    R"({ "classname" "worldspawn" "music" "music/in.wav x.wav" })"
                                    R"({ "classname" "target_speaker" "noise" "sound/x.wav" )"
                                    R"("classname" "z" })"
                                    R"({ "noise" "sound/y.wav" })"
                                    R"({ "classname" "func_static" "model2" "models/m.md3" })"));
    std::map<std::string, std::string> planned;
    for (const planned_file &f :
         plan_package({"game/textures", "m.bsp", "m.aas", "game/levelshots/m.jpg", "m", ""}).files)
        planned[f.game_path] =
            f.used_by_kind + (f.used_by_name.empty() ? "" : " " + f.used_by_name);
    EXPECT_EQ(planned, uses);
    unsetenv("MAPCRATE_GAME_DIR");
}

} // namespace
