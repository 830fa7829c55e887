// Execute in the window over a game that defines one of the map's shaders and
// another pk3 holding one of its textures with other bytes: the terminal says
// which shader the game takes, the conflict is asked about, and No creates nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "gui_support.h"
#include "support.h"

TEST(ValiderConflicts, AnotherPk3sTextureIsAskedAboutAndNoCreatesNothing) {
    temp_dir dir;
    const std::vector<std::string> lines = write_game_and_author();
    std::filesystem::create_directories("h");
    const std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", "h", 1);
    setenv("MAPCRATE_GAME_DIR", "baseoa", 1);
    const std::string question = "Le pk3 entre en conflit avec d'autres pk3 du jeu :\n" + lines[1] +
                                 "\nDans le jeu, un seul des deux fichiers est utilisé, selon "
                                 "l'ordre des noms des pk3.\nVoulez-vous continuer ?";
    const std::vector<std::string> before = list_dir("."),
                                   packed = {"textures/s/own.tga", "textures/set/a.tga",
                                             "textures/set/b.tga", "maps/m.bsp",
                                             "scripts/m.arena",    "mapcrate"};
    form_record f;
    make_form(f);
    for (int answer : {GTK_RESPONSE_NO, GTK_RESPONSE_YES}) {
        const char *texts[6] = {"g/textures", "l.bsp", "", "", "m", ""};
        fill_form(f, texts, {0});
        testing::internal::CaptureStdout();
        auto log = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, answer);
        std::fflush(stdout);
        std::string terminal = testing::internal::GetCapturedStdout();
        EXPECT_NE(terminal.find("\n" + lines[0] + "\n\n" + lines[1] + "\n\n"), std::string::npos)
            << terminal;
        EXPECT_EQ(log->seen.size(), 1u);
        EXPECT_EQ(log->seen.empty() ? "" : log->seen[0].text, question);
        EXPECT_EQ(zip_names("m.pk3"),
                  answer == GTK_RESPONSE_YES ? packed : std::vector<std::string>{});
        EXPECT_TRUE(answer == GTK_RESPONSE_YES || list_dir(".") == before) << "No creates nothing";
    }
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
    setenv("HOME", old_home.c_str(), 1);
}
