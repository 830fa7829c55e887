#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "../../tests/support.h"
#include "gui_test_form.h"
#include "mapcrate.h"

namespace {

const std::string folder_message = "Veuillez selectionner un dossier valide pour les textures";
const std::string file_message = "Impossible d'ouvrir le fichier.\nVerifiez son existance ou qu'il "
                                 "n'y ai pas de caracteres accentués.";
const std::string mandatory_message = "Revérifiez les champs en Rouge, ils sont obligatoires.";
const std::string map_name_message = "Le nom de la map ne doit contenir ni \"/\" ni \"\\\".";
const std::string question = "Aucun mode de jeu n'a été choisis, le pk3 n'apparaitre dans aucune "
                             "catégorie.\nVoulez-vous continuer ?";

struct outcome {
    int result = -1;
    std::vector<seen_dialog> dialogs;
    bool dialog_gone = true;
};

class VerifField : public testing::Test {
  protected:
    temp_dir work;
    form_record f;

    void SetUp() override {
        make_form(f);
        write_file("level.bsp", "BSP");
        write_file("bot.aas", "AAS");
        write_file("shot.jpg", "JPG");
        mkdir("tex", 0755);
        write_file("tex/a.tga", "TGA");
        mkdir("folder.bsp", 0755);
        mkfifo("pipe.bsp", 0644);
    }
    void TearDown() override {
        destroy_form(f);
    }

    void fill(const char *textures, const char *bsp, const char *aas, const char *shot,
              const char *name, const char *description, std::vector<int> modes) {
        const char *texts[6] = {textures, bsp, aas, shot, name, description};
        fill_form(f, texts, modes);
    }

    outcome check(int answer = GTK_RESPONSE_OK, bool close_from_frame = false) {
        auto log = std::make_shared<dialog_log>();
        log->answer = answer;
        log->close_from_frame = close_from_frame;
        answer_dialogs(log);
        std::vector<std::string> before = list_dir(".");
        get_field(&f);
        outcome o;
        o.result = verif_field(&f);
        pump_events();
        o.dialog_gone = log->all_gone();
        disarm(*log);
        o.dialogs = log->seen;
        EXPECT_EQ(list_dir("."), before) << "validation touched the working directory";
        return o;
    }
};

TEST_F(VerifField, SnapshotViewsTheEntriesAndTogglesInOrder) {
    fill("tex", "level.bsp", "", "shot.jpg", "  map ", "Une carte", {1, 6});
    get_field(&f);
    const char *const *views[6] = {&f.textures_dir,   &f.bsp_path, &f.aas_path,
                                   &f.levelshot_path, &f.map_name, &f.description};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(*views[i], gtk_entry_get_text(GTK_ENTRY(f.entries[i]))) << i;
    EXPECT_STREQ(f.aas_path, "");
    EXPECT_STREQ(f.map_name, "  map ");
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(f.mode_states[i], i == 1 || i == 6 ? 1 : 0) << i;
}

TEST_F(VerifField, FirstFailingRuleShowsItsOwnMessageOnly) {
    struct row {
        const char *what;
        const char *textures, *bsp, *aas, *shot, *name;
        const std::string *message;
    };
    const row rows[] = {
        {"all empty", "", "", "", "", "", &mandatory_message},
        {"textures is a file, BSP untested", "level.bsp", "missing.bsp", "", "", "m",
         &folder_message},
        {"textures missing", "nowhere", "level.bsp", "", "", "m", &folder_message},
        {"BSP missing", "tex", "missing.bsp", "", "", "m", &file_message},
        {"BSP is a folder", "", "folder.bsp", "", "", "m", &file_message},
        {"BSP is a named pipe, not waited on", "", "pipe.bsp", "", "", "m", &file_message},
        {"AAS missing before mandatory", "", "", "missing.aas", "", "m", &file_message},
        {"AAS is a folder", "", "level.bsp", "tex", "", "m", &file_message},
        {"levelshot missing", "", "level.bsp", "bot.aas", "missing.jpg", "m", &file_message},
        {"levelshot is a folder", "", "level.bsp", "", "tex", "m", &file_message},
        {"map name empty", "tex", "level.bsp", "bot.aas", "shot.jpg", "", &mandatory_message},
        {"BSP empty", "tex", "", "bot.aas", "shot.jpg", "m", &mandatory_message},
        {"map name climbs out", "", "level.bsp", "", "", "../up", &map_name_message},
        {"map name with a backslash", "", "level.bsp", "", "", "a\\b", &map_name_message},
    };
    for (const row &r : rows) {
        fill(r.textures, r.bsp, r.aas, r.shot, r.name, "", {});
        outcome o = check();
        EXPECT_EQ(o.result, 0) << r.what;
        ASSERT_EQ(o.dialogs.size(), 1u) << r.what;
        EXPECT_EQ(o.dialogs[0].text, *r.message) << r.what;
        EXPECT_EQ(o.dialogs[0].type, GTK_MESSAGE_ERROR) << r.what;
        EXPECT_TRUE(o.dialog_gone) << r.what;
    }
}

TEST_F(VerifField, AGameModePassesWithoutAnyDialog) {
    struct row {
        const char *textures, *bsp, *aas, *shot, *name;
        int mode;
    };
    const row rows[] = {
        {"", "level.bsp", "", "", "m", 7},
        {"tex", "level.bsp", "bot.aas", "shot.jpg", "m", 0},
        {"", "level.bsp", "", "", "   ", 3},
        {"tex/", "./level.bsp", "", "", "m", 4},
    };
    for (const row &r : rows) {
        fill(r.textures, r.bsp, r.aas, r.shot, r.name, "", {r.mode});
        outcome o = check();
        EXPECT_EQ(o.result, 1) << r.name << " mode " << r.mode;
        EXPECT_TRUE(o.dialogs.empty()) << (o.dialogs.empty() ? "" : o.dialogs[0].text);
    }
}

TEST_F(VerifField, NoGameModeAsksOverTheWindowAndOnlyNoStops) {
    struct row {
        const char *what;
        int answer;
        bool from_frame;
        int expected;
    };
    const row rows[] = {
        {"No", GTK_RESPONSE_NO, false, 0},
        {"Yes", GTK_RESPONSE_YES, false, 1},
        {"closed from its frame", GTK_RESPONSE_NONE, true, 1},
    };
    for (const row &r : rows) {
        fill("tex", "level.bsp", "bot.aas", "shot.jpg", "m", "", {});
        outcome o = check(r.answer, r.from_frame);
        EXPECT_EQ(o.result, r.expected) << r.what;
        ASSERT_EQ(o.dialogs.size(), 1u) << r.what;
        EXPECT_EQ(o.dialogs[0].text, question) << r.what;
        EXPECT_EQ(o.dialogs[0].type, GTK_MESSAGE_QUESTION) << r.what;
        EXPECT_EQ(o.dialogs[0].parent, GTK_WINDOW(f.window)) << r.what;
        EXPECT_TRUE(o.dialogs[0].modal) << r.what;
        EXPECT_TRUE(o.dialog_gone) << r.what;
    }
}

TEST(IsAFile, OnlyAReadableFileCounts) {
    temp_dir work;
    write_file("plain", "x");
    mkdir("dir", 0755);
    auto log = std::make_shared<dialog_log>();
    answer_dialogs(log);
    EXPECT_EQ(is_a_file("plain"), 1);
    EXPECT_EQ(is_a_file("dir"), 0);
    EXPECT_EQ(is_a_file("absent"), 0);
    disarm(*log);
    ASSERT_EQ(log->seen.size(), 2u);
    EXPECT_EQ(log->seen[0].text, file_message);
    EXPECT_EQ(log->seen[1].text, file_message);
}

} // namespace
