// Execute in the window over a game folder: files found nowhere are asked
// about, a staging failure is named, and the working folder, the author's
// game folder too, gets nothing but the package.
#include <gtest/gtest.h>

#include <string>

#include "gui_support.h"
#include "support.h"

namespace {

TEST(ValiderPlan, FilesFoundNowhereAreAskedAboutAndStagingCanFail) {
    temp_dir dir;
    setenv("MAPCRATE_GAME_DIR", "", 1);
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
    const std::string question =
        "La map utilise des fichiers qui ne sont ni dans le dossier du jeu ni dans le jeu :\n" +
        shown +
        "... et 2 autres\nDans le jeu, une texture manquante est remplacée par une grille "
        "blanche et un son manquant reste muet.\nVoulez-vous continuer ?";
    const std::string failed = "! La préparation du pk3 a échoué : game/textures/set/a.tga : No "
                               "such file or directory\nLe pk3 n'a pas été écrit.";
    const int yes = GTK_RESPONSE_YES, no = GTK_RESPONSE_NO, shut = GTK_RESPONSE_DELETE_EVENT;
    const std::vector<std::string> one_packed = {"textures/set/a.tga", "sound/hum.wav",
                                                 "maps/one.bsp", "scripts/one.arena", "mapcrate"};
    struct {
        int answer;
        // "! " marks an error; no entries: nothing created.
        std::vector<std::string> dialogs, entries;
        bool gone = false;
    } rows[] = {
        {no, {question}, {}},
        {shut, {question}, one_packed},
        {yes, {question}, one_packed},
        // A file the map uses, gone while the question waits: the archive
        // an earlier Execute wrote stays as it was.
        {yes, {question, failed}, one_packed, true},
    };
    form_record f;
    make_form(f);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.answer);
        if (row.gone)
            g_idle_add(
                +[](gpointer) { return gboolean(rename("game/textures/set/a.tga", "x") & 0); },
                nullptr);
        const std::string pk3 = "one.pk3";
        const char *texts[6] = {"game/textures", "one.bsp", "", "", "one", ""};
        fill_form(f, texts, {0});
        const std::vector<std::string> before = folder_snapshot(), but_pk3 = folder_snapshot(pk3);
        std::vector<std::string> seen;
        testing::internal::CaptureStdout();
        auto log = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, row.answer);
        if (row.gone)
            rename("x", "game/textures/set/a.tga");
        std::fflush(stdout);
        std::string terminal = testing::internal::GetCapturedStdout();
        // Every file found nowhere, not only the ten the question shows.
        EXPECT_EQ(terminal.find("Fichiers du jeu : game (1 fichiers)\n\n"), 0u);
        EXPECT_NE(terminal.find("Introuvable : textures/set/m11\n\n"), std::string::npos);
        for (const seen_dialog &d : log->seen)
            seen.push_back((d.type == GTK_MESSAGE_ERROR ? "! " : "") + d.text);
        EXPECT_EQ(seen, row.dialogs);
        EXPECT_EQ(zip_names(pk3), row.entries);
        // The package written anew, or left as it was; nothing else changed.
        EXPECT_EQ(folder_snapshot() != before, !row.entries.empty() && !row.gone);
        EXPECT_EQ(folder_snapshot(pk3), but_pk3);
    }
    // The README's form, filled in the author's game folder: Execute, twice,
    // leaves every file there as it was and adds only the package.
    write_author_folder();
    const std::vector<std::string> before = folder_snapshot();
    const char *texts[6] = {"textures",           "maps/beta.bsp",
                            "maps/crateyard.aas", "levelshots/crateyard.jpg",
                            "crateyard",          "Crate Yard"};
    fill_form(f, texts, {0, 4});
    for (int again = 0; again < 2; ++again) {
        testing::internal::CaptureStdout();
        auto log = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); });
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(log->seen.size(), 0u);
        EXPECT_EQ(folder_snapshot("crateyard.pk3"), before);
    }
    std::string level;
    for (const zip_entry &e : read_zip_with_python("crateyard.pk3").entries)
        level = e.name == "maps/crateyard.bsp" ? e.data : level;
    EXPECT_TRUE(level == read_file("maps/beta.bsp"));
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
}

} // namespace
