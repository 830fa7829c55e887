// The "URL" buttons: the dialog each opens, refusals, Cancel, two dialogs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "../../tests/support.h"
#include "gui_test_form.h"
#include "mapcrate.h"

namespace {

const std::string folder_message = "La source n'est pas un dossier, ou le chemin contient un "
                                   "caracteres accentu\xc3\xa9s.\nSelectionnez un dossier ne "
                                   "contenant que les textures.";
const std::string file_message = "Impossible d'ouvrir le fichier.\nVerifiez son existance ou qu'il "
                                 "n'y ai pas de caracteres accentu\xc3\xa9s.";

class FileSelect : public testing::Test {
  protected:
    temp_dir work;
    form_record f;
    const std::string dir = work.path + "/dir one", bsp = dir + "/level.bsp",
                      aas = dir + "/bot.aas", shot = dir + "/shot.jpg", tex = dir + "/tex";

    void SetUp() override {
        make_form(f);
        ASSERT_EQ(mkdir(dir.c_str(), 0755) | mkdir(tex.c_str(), 0755), 0);
        for (const std::string *file : {&bsp, &aas, &shot})
            write_file(*file, "x");
    }
    void TearDown() override {
        for (GtkWidget *w : shown_dialogs())
            gtk_widget_destroy(w);
        destroy_form(f);
    }

    // Presses browse button k; returns the dialog it opened.
    GtkWidget *browse(int k) {
        gtk_button_clicked(GTK_BUTTON(f.browse_buttons[k]));
        pump_events();
        return f.file_dialog;
    }

    // Types name into the dialog and presses OK; returns the messages shown.
    std::vector<seen_dialog> choose(GtkWidget *dialog, const std::string &name) {
        auto log = std::make_shared<dialog_log>();
        answer_dialogs(log);
        gtk_file_selection_set_filename(GTK_FILE_SELECTION(dialog), name.c_str());
        gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(dialog)->ok_button));
        pump_events();
        disarm(*log);
        return log->seen;
    }

    std::string entry(int k) {
        return gtk_entry_get_text(GTK_ENTRY(f.entries[k]));
    }
};

TEST_F(FileSelect, RefusedChoiceKeepsTheDialogThenAGoodOneFillsTheEntry) {
    const struct {
        int k;
        std::string refused;
        const std::string &message;
        std::string good;
    } rows[] = {
        {0, bsp, folder_message, tex}, {0, work.path + "/nowhere", folder_message, tex + "/"},
        {1, tex, file_message, bsp},   {1, work.path + "/missing.bsp", file_message, aas},
        {2, tex, file_message, aas},   {3, work.path + "/missing.jpg", file_message, shot},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.refused);
        for (GtkWidget *e : f.entries)
            gtk_entry_set_text(GTK_ENTRY(e), "typed before");
        GtkWidget *d = browse(r.k);
        ASSERT_TRUE(GTK_IS_FILE_SELECTION(d));
        EXPECT_EQ(f.browse_index, r.k);
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(d)), "S\xc3\xa9lectionnez un fichier");
        EXPECT_FALSE(gtk_window_get_modal(GTK_WINDOW(d)));

        std::vector<seen_dialog> shown = choose(d, r.refused);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, r.message);
        EXPECT_EQ(shown[0].type, GTK_MESSAGE_ERROR);
        EXPECT_EQ(shown_dialogs(), std::vector<GtkWidget *>{d}) << "the dialog must stay";
        EXPECT_EQ(f.file_dialog, d);
        EXPECT_EQ(entry(r.k), "typed before");

        EXPECT_TRUE(choose(d, r.good).empty());
        EXPECT_TRUE(shown_dialogs().empty());
        for (int k = 0; k < 4; ++k) {
            if (k != r.k) {
                EXPECT_EQ(entry(k), "typed before") << k;
                continue;
            }
            EXPECT_EQ(entry(k), f.selected_paths[k]);
            EXPECT_EQ(entry(k).rfind(r.good.substr(0, r.good.size() - 1), 0), 0u) << entry(k);
        }
    }
}

TEST_F(FileSelect, CancelAndFrameCloseChangeNothing) {
    gtk_entry_set_text(GTK_ENTRY(f.bsp_entry), "mine.bsp");
    for (bool from_frame : {false, true}) {
        GtkWidget *d = browse(1);
        gtk_file_selection_set_filename(GTK_FILE_SELECTION(d), bsp.c_str());
        if (from_frame)
            close_from_frame(d);
        else
            gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(d)->cancel_button));
        pump_events();
        EXPECT_TRUE(shown_dialogs().empty()) << from_frame;
        EXPECT_EQ(entry(1), "mine.bsp") << from_frame;
    }
}

TEST_F(FileSelect, EachOpenDialogServesItsOwnField) {
    // OK on the older dialog fills its own entry and leaves the newer open.
    GtkWidget *older = browse(1), *newer = browse(2);
    ASSERT_NE(older, newer);
    EXPECT_EQ(f.browse_index, 2);
    EXPECT_TRUE(choose(older, bsp).empty());
    EXPECT_EQ(entry(1), bsp);
    EXPECT_EQ(entry(2), "");
    EXPECT_EQ(shown_dialogs(), std::vector<GtkWidget *>{newer});
    choose(newer, aas);
    EXPECT_EQ(entry(2), aas);

    // The newer one cancelled, the older still works on its own field.
    older = browse(3);
    newer = browse(0);
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(newer)->cancel_button));
    pump_events();
    EXPECT_TRUE(choose(older, shot).empty());
    EXPECT_EQ(entry(3), shot);
    EXPECT_EQ(entry(0), "");
    EXPECT_TRUE(shown_dialogs().empty());
    // The names outlive their dialogs.
    EXPECT_STREQ(f.selected_paths[1], bsp.c_str());
    EXPECT_STREQ(f.selected_paths[3], shot.c_str());
}

} // namespace
