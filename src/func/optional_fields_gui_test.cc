// Each optional field (textures folder, AAS, levelshot, description) empty or
// not, in both front ends, with the level in its game's MAPS folder or not.
#include <gtest/gtest.h>

#include <tuple>

#include "gui_support.h"
#include "support.h"
#include "valid/level_checks.h"

namespace {

using names = std::vector<std::string>;

TEST(OptionalFields, EveryCombinationPacksWhatTheFormNamesInBothFrontEnds) {
    std::string ppm = "P6 128 128 255\n" + std::string(128 * 128 * 3, char(200));
    const std::string shot = run_program({"cjpeg", "-baseline"}, ppm).out;
    const std::string level =
        level_bytes({"textures/set/a"}, {}, "{\n\"noise\" \"sound/s.wav\"\n}\n");
    // The game's own files, in place of whatever this machine has installed.
    temp_dir game;
    write_zip("pak0.pk3", {"textures/base/b.tga", "the game's"});
    setenv("MAPCRATE_GAME_DIR", game.path.c_str(), 1);
    form_record f;
    make_form(f);
    for (int row = 0; row < 16; ++row) {
        const bool textures = row & 1, aas = row & 2, levelshot = row & 4, description = row & 8;
        // The level lies in G/MAPS in half the rows, with a textures folder and without.
        const bool in_maps = aas != levelshot;
        const std::string bsp = in_maps ? "G/MAPS/l.bsp" : "l.bsp",
                          longname = description ? "La cour" : "";
        SCOPED_TRACE("row " + std::to_string(row));
        // Without a textures folder, only MAPS names the author's game folder G.
        const bool from_g = textures || in_maps;
        names want;
        if (from_g)
            want = {"textures/set/a.tga", "sound/s.wav"};
        want.push_back("maps/m.bsp");
        if (aas)
            want.push_back("maps/m.aas");
        if (levelshot)
            want.push_back("levelshots/m.jpg");
        want.insert(want.end(), {"scripts/m.arena", "mapcrate"});
        const std::string asked = from_g ? "" : "La map utilise des fichiers qui ne sont ni";

        auto packed = [&](const char *front_end) {
            SCOPED_TRACE(front_end);
            zip_reading zip = read_zip_with_python("m.pk3");
            names got;
            for (const zip_entry &e : zip.entries) {
                got.push_back(e.name);
                if (e.name == "scripts/m.arena") {
                    EXPECT_NE(e.data.find("longname \"" + longname + "\""), std::string::npos);
                }
            }
            EXPECT_TRUE(zip.ok) << zip.problem;
            EXPECT_EQ(got, want);
        };
        for (bool window : {false, true}) {
            temp_dir work;
            write_file(bsp, level);
            write_file("G/textures/set/a.tga", "AAAA");
            write_file("G/sound/s.wav", "SS");
            write_file("l.aas", test_aas(*bsp_checksum(bsp.c_str())));
            write_file("l.jpg", shot);
            if (!window) {
                names args = {"env", "-u",      "DISPLAY", MAPCRATE_PROGRAM, "--bsp", bsp, "--name",
                              "m",   "--modes", "ffa",     "--yes"};
                for (auto [given, option, value] :
                     {std::tuple(textures, "--textures", "G/textures"),
                      std::tuple(aas, "--aas", "l.aas"),
                      std::tuple(levelshot, "--levelshot", "l.jpg"),
                      std::tuple(description, "--description", longname.c_str())})
                    if (given)
                        args.insert(args.end(), {option, value});
                run_result run = run_program(args);
                EXPECT_EQ(run.status, 0) << run.err;
                const std::string warned = asked.empty() ? "" : "mapcrate: attention : " + asked;
                EXPECT_EQ(asked.empty() ? run.err : run.err.substr(0, warned.size()), warned);
                packed("command line");
                continue;
            }
            const char *texts[6] = {textures ? "G/textures" : "", bsp.c_str(), aas ? "l.aas" : "",
                                    levelshot ? "l.jpg" : "",     "m",         longname.c_str()};
            fill_form(f, texts, {0});
            auto d = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); },
                              GTK_RESPONSE_YES);
            names seen;
            for (const seen_dialog &s : d->seen)
                seen.push_back(s.text.substr(0, asked.size()));
            EXPECT_EQ(seen, asked.empty() ? names{} : names{asked});
            packed("window");
        }
    }
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
}

} // namespace
