// A staging failure stops Execute before packing, with a dialog naming it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gui_support.h"
#include "support.h"

namespace {

TEST(ValiderStaging, AFileNamedMapsStopsExecuteAndLeavesTheOldArchive) {
    temp_dir dir;
    write_file("maps", "in the way");
    write_file("crateyard.pk3", "an earlier archive");
    std::string sample = MAPCRATE_SOURCE_DIR "/samples/crateyard/", textures = sample + "textures",
                bsp = sample + "maps/crateyard.bsp";
    form_record f;
    make_form(f);
    const char *texts[6] = {textures.c_str(), bsp.c_str(), "", "", "crateyard", ""};
    fill_form(f, texts, {0});
    auto log = std::make_shared<dialog_log>();
    answer_dialogs(log);
    gtk_button_clicked(GTK_BUTTON(f.execute_button));
    pump_events();
    disarm(*log);
    destroy_form(f);
    ASSERT_EQ(log->seen.size(), 1u);
    EXPECT_EQ(log->seen[0].type, GTK_MESSAGE_ERROR);
    EXPECT_EQ(log->seen[0].text,
              "La préparation du pk3 a échoué : maps/\nLe pk3 n'a pas été écrit.");
    EXPECT_EQ(read_file("crateyard.pk3"), "an earlier archive");
}

} // namespace

namespace {

TEST(ValiderPlan, FilesFoundNowhereAreAskedAboutAndASecondMapPacksOnlyItsOwn) {
    temp_dir dir;
    setenv("MAPCRATE_GAME_DIR", "", 1);
    run_program({"mkdir", "-p", "game/textures/set", "game/textures/base", "game/sound"});
    write_file("game/textures/set/a.tga", "a");
    // A copy of the game's own file: left out.
    write_file("game/textures/base/g.tga", "g");
    write_file("game/sound/hum.wav", "hum");
    write_zip("game/pak0.pk3", {"textures/base/g.tga", ""});
    std::vector<std::string> one = {"textures/set/a", "textures/base/g"};
    std::string shown;
    for (int i = 0; i < 12; ++i) {
        one.push_back("textures/set/m" + std::to_string(i));
        shown += i < 10 ? one.back() + "\n" : "";
    }
    write_file("one.bsp", level_bytes(one, {}, R"({ "noise" "sound/hum.wav" })"));
    write_file("two.bsp", level_bytes({"textures/set/a"}));
    const std::string question =
        "La map utilise des fichiers qui ne sont ni dans le dossier du jeu ni dans le jeu :\n" +
        shown +
        "... et 2 autres\nDans le jeu, une texture manquante est remplacée par une grille "
        "blanche et un son manquant reste muet.\nVoulez-vous continuer ?";
    const int yes = GTK_RESPONSE_YES, no = GTK_RESPONSE_NO, shut = 0;
    struct {
        const char *map;
        int answer;
        bool asked;
        std::vector<std::string> entries; // none: nothing created
    } rows[] = {
        {"one", no, true, {}},
        {"one",
         shut,
         true,
         {"textures/set/a.tga", "sound/hum.wav", "maps/one.bsp", "scripts/one.arena", "mapcrate"}},
        {"one",
         yes,
         true,
         {"textures/set/a.tga", "sound/hum.wav", "maps/one.bsp", "scripts/one.arena", "mapcrate"}},
        {"two",
         yes,
         false,
         {"textures/set/a.tga", "maps/two.bsp", "scripts/two.arena", "mapcrate"}},
    };
    form_record f;
    make_form(f);
    for (const auto &row : rows) {
        std::string bsp = std::string(row.map) + ".bsp";
        const char *texts[6] = {"game/textures", bsp.c_str(), "", "", row.map, ""};
        fill_form(f, texts, {0});
        auto log = std::make_shared<dialog_log>();
        log->answer = row.answer;
        log->close_from_frame = row.answer == shut;
        answer_dialogs(log);
        std::vector<std::string> before = list_dir(".");
        testing::internal::CaptureStdout();
        gtk_button_clicked(GTK_BUTTON(f.execute_button));
        std::fflush(stdout);
        std::string terminal = testing::internal::GetCapturedStdout();
        disarm(*log);
        // Every file found nowhere, not only the ten the question shows.
        EXPECT_EQ(terminal.find("Fichiers du jeu : game (1 fichiers)\n\n"), 0u);
        EXPECT_EQ(terminal.find("Introuvable : textures/set/m11\n\n") != std::string::npos,
                  row.asked);
        EXPECT_EQ(terminal.find("Deja dans le jeu : textures/base/g.tga\n\n") != std::string::npos,
                  row.asked);
        ASSERT_EQ(log->seen.size(), row.asked ? 1u : 0u) << row.map;
        if (row.asked) {
            EXPECT_EQ(log->seen[0].text, question);
        }
        std::vector<std::string> entries;
        for (const zip_entry &e : read_zip_with_python(bsp.substr(0, 3) + ".pk3").entries)
            entries.push_back(e.name);
        EXPECT_EQ(entries, row.entries) << row.map << row.answer;
        if (row.entries.empty()) {
            EXPECT_EQ(list_dir("."), before);
        }
    }
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
}

} // namespace
