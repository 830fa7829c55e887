// Each optional field (textures folder, AAS, levelshot, description) empty or
// not, in both front ends, with the level in its game's MAPS folder or not.
#include <gtest/gtest.h>

#include "gui_support.h"
#include "support.h"
#include "valid/level_checks.h"

namespace {

using names = std::vector<std::string>;

TEST(OptionalFields, EveryCombinationPacksWhatTheFormNamesInBothFrontEnds) {
    const std::string shot =
        run_program({"cjpeg"}, "P6 128 128 255\n" + std::string(128 * 128 * 3, char(200))).out;
    const std::string level = level_bytes({"textures/set/a"}, {}, "{\"noise\" \"sound/s.wav\"}");
    // The game's own files, in place of whatever this machine has installed.
    temp_dir game;
    write_zip("pak0.pk3", {"textures/base/b.tga", "the game's"});
    setenv("MAPCRATE_GAME_DIR", game.path.c_str(), 1);
    const char *const options[6] = {"--textures",  "--bsp",  "--aas",
                                    "--levelshot", "--name", "--description"};
    form_record f;
    make_form(f);
    for (int row = 0; row < 16; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        const bool textures = row & 1, aas = row & 2, levelshot = row & 4;
        // The level lies in G/MAPS in half the rows, with a textures folder and without.
        const bool in_maps = aas != levelshot;
        const char *bsp = in_maps ? "G/MAPS/l.bsp" : "l.bsp", *longname = row & 8 ? "Cour" : "";
        const char *texts[6] = {textures ? "G/textures" : "", bsp, aas ? "l.aas" : "",
                                levelshot ? "l.jpg" : "",     "m", longname};
        // Without a textures folder, only MAPS names the author's game folder G.
        const bool from_g = textures || in_maps;
        names want = from_g ? names{"textures/set/a.tga", "sound/s.wav"} : names{};
        want.push_back("maps/m.bsp");
        for (auto [given, entry] :
             {std::pair(aas, "maps/m.aas"), std::pair(levelshot, "levelshots/m.jpg")})
            if (given)
                want.push_back(entry);
        want.insert(want.end(), {"scripts/m.arena", "mapcrate"});
        const std::string asked = from_g ? "" : "La map utilise des fichiers qui ne sont ni";

        for (bool window : {false, true}) {
            SCOPED_TRACE(window ? "window" : "command line");
            temp_dir work;
            write_file(bsp, level);
            write_file("G/textures/set/a.tga", "AAAA");
            write_file("G/sound/s.wav", "SS");
            write_file("l.aas", test_aas(*bsp_checksum(bsp)));
            write_file("l.jpg", shot);
            if (window) {
                fill_form(f, texts, {0});
                auto d = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); },
                                  GTK_RESPONSE_YES);
                names seen;
                for (const seen_dialog &s : d->seen)
                    seen.push_back(s.text.substr(0, asked.size()));
                EXPECT_EQ(seen, asked.empty() ? names{} : names{asked});
            } else {
                names args = {"env", "-u", "DISPLAY", MAPCRATE_PROGRAM, "--modes", "ffa", "--yes"};
                for (int i = 0; i < 6; ++i)
                    if (texts[i][0] != '\0')
                        args.insert(args.end(), {options[i], texts[i]});
                run_result run = run_program(args);
                EXPECT_EQ(run.status, 0) << run.err;
                EXPECT_EQ(run.err.rfind("mapcrate: attention : " + asked, 0) == 0, !asked.empty())
                    << run.err;
            }
            // unzip, not Python: it starts in milliseconds, 32 times over.  Every
            // entry's bytes, their CRCs checked, the arena script's among them.
            EXPECT_EQ(zip_names("m.pk3"), want);
            run_result data = run_program({"unzip", "-p", "m.pk3"});
            EXPECT_EQ(data.status, 0);
            EXPECT_NE(data.out.find("longname \"" + std::string(longname) + "\""),
                      std::string::npos);
        }
    }
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
}

} // namespace
