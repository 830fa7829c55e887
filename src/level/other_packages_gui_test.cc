// Execute in the window with another pk3 in the game folder holding one of
// the map's textures with other bytes: asked about, and No creates nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "gui_support.h"
#include "support.h"

namespace {

TEST(ValiderConflicts, AnotherPk3sTextureIsAskedAboutAndNoCreatesNothing) {
    temp_dir dir;
    std::filesystem::create_directories("baseoa");
    std::filesystem::create_directories("h");
    write_zip("baseoa/pak0.pk3", {"textures/base/w.tga", "w"});
    write_zip("baseoa/z_other.pk3", {"textures/set/a.tga", "other", "textures/set/b.tga", "BB"});
    write_file("g/textures/set/a.tga", "AAAA");
    write_file("g/textures/set/b.tga", "BB");
    write_file("l.bsp", level_bytes({"textures/set/a", "textures/set/b"}));
    const std::string old_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", "h", 1);
    setenv("MAPCRATE_GAME_DIR", "baseoa", 1);
    const std::string line = "Conflit : textures/set/a.tga existe aussi dans baseoa/z_other.pk3, "
                             "avec un autre contenu ; le jeu prendra celui de ce pk3",
                      question = "Le pk3 entre en conflit avec d'autres pk3 du jeu :\n" + line +
                                 "\nDans le jeu, un seul des deux fichiers est utilisé, selon "
                                 "l'ordre des noms des pk3.\nVoulez-vous continuer ?";
    const std::vector<std::string> before = list_dir("."),
                                   packed = {"textures/set/a.tga", "textures/set/b.tga",
                                             "maps/m.bsp", "scripts/m.arena", "mapcrate"};
    form_record f;
    make_form(f);
    for (int answer : {GTK_RESPONSE_NO, GTK_RESPONSE_YES}) {
        const char *texts[6] = {"g/textures", "l.bsp", "", "", "m", ""};
        fill_form(f, texts, {0});
        testing::internal::CaptureStdout();
        auto log = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, answer);
        std::fflush(stdout);
        std::string terminal = testing::internal::GetCapturedStdout();
        EXPECT_NE(terminal.find("\n" + line + "\n\n"), std::string::npos) << terminal;
        std::vector<std::string> seen, entries;
        for (const seen_dialog &d : log->seen)
            seen.push_back(d.text);
        EXPECT_EQ(seen, std::vector<std::string>{question});
        for (const zip_entry &e : read_zip_with_python("m.pk3").entries)
            entries.push_back(e.name);
        EXPECT_EQ(entries, answer == GTK_RESPONSE_YES ? packed : std::vector<std::string>{});
        if (answer == GTK_RESPONSE_NO) {
            EXPECT_EQ(list_dir("."), before);
        }
    }
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
    setenv("HOME", old_home.c_str(), 1);
}

} // namespace
