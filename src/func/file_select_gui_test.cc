#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "../../tests/support.h"
#include "../valid/gui_test_form.h"
#include "mapcrate.h"

namespace {

const std::string folder_message = "La source n'est pas un dossier, ou le chemin contient un "
                                   "caracteres accentués.\nSelectionnez un dossier ne contenant "
                                   "que les textures.";
const std::string file_message = "Impossible d'ouvrir le fichier.\nVerifiez son existance ou qu'il "
                                 "n'y ai pas de caracteres accentués.";

class FileSelect : public testing::Test {
  protected:
    temp_dir work;
    form_record f;
    std::string bsp, aas, shot, tex;

    void SetUp() override {
        make_form(f);
        mkdir("dir one", 0755);
        mkdir("dir one/tex", 0755);
        bsp = work.path + "/dir one/level.bsp";
        aas = work.path + "/dir one/bot.aas";
        shot = work.path + "/dir one/shot.jpg";
        tex = work.path + "/dir one/tex";
        write_file(bsp, "BSP");
        write_file(aas, "AAS");
        write_file(shot, "JPG");
    }
    void TearDown() override {
        for (GtkWidget *w : open_dialogs())
            gtk_widget_destroy(w);
        destroy_form(f);
    }

    static std::vector<GtkWidget *> open_dialogs() {
        std::vector<GtkWidget *> found;
        GList *tops = gtk_window_list_toplevels();
        for (GList *l = tops; l; l = l->next)
            if (GTK_IS_FILE_SELECTION(l->data))
                found.push_back(GTK_WIDGET(l->data));
        g_list_free(tops);
        return found;
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

TEST_F(FileSelect, OpensTheTitledSelectionForTheClickedField) {
    for (int k = 0; k < 4; ++k) {
        GtkWidget *d = browse(k);
        ASSERT_TRUE(d && GTK_IS_FILE_SELECTION(d)) << k;
        EXPECT_EQ(f.browse_index, k);
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(d)), "Sélectionnez un fichier");
        EXPECT_TRUE(gtk_widget_get_visible(d));
        EXPECT_FALSE(gtk_window_get_modal(GTK_WINDOW(d)));
        gtk_widget_destroy(d);
    }
}

TEST_F(FileSelect, RefusedChoiceKeepsTheDialogThenAGoodOneFillsTheEntry) {
    struct row {
        int k;
        std::string refused;
        const std::string *message;
        std::string good;
    };
    const row rows[] = {
        {0, bsp, &folder_message, tex}, {0, work.path + "/nowhere", &folder_message, tex + "/"},
        {1, tex, &file_message, bsp},   {1, work.path + "/missing.bsp", &file_message, bsp},
        {2, tex, &file_message, aas},   {3, work.path + "/missing.jpg", &file_message, shot},
    };
    for (const row &r : rows) {
        for (int k = 0; k < 4; ++k)
            gtk_entry_set_text(GTK_ENTRY(f.entries[k]), "typed before");
        GtkWidget *d = browse(r.k);
        std::vector<seen_dialog> shown = choose(d, r.refused);
        ASSERT_EQ(shown.size(), 1u) << r.refused;
        EXPECT_EQ(shown[0].text, *r.message) << r.refused;
        EXPECT_EQ(shown[0].type, GTK_MESSAGE_ERROR);
        ASSERT_EQ(open_dialogs().size(), 1u) << "a refused choice closes the dialog";
        EXPECT_EQ(f.file_dialog, d);
        EXPECT_EQ(entry(r.k), "typed before");

        shown = choose(d, r.good);
        EXPECT_TRUE(shown.empty()) << shown.size();
        EXPECT_TRUE(open_dialogs().empty());
        for (int k = 0; k < 4; ++k) {
            if (k == r.k) {
                EXPECT_EQ(entry(k), f.selected_paths[k]);
                EXPECT_EQ(entry(k).rfind(r.good.substr(0, r.good.size() - 1), 0), 0u) << entry(k);
            } else {
                EXPECT_EQ(entry(k), "typed before") << k;
            }
        }
    }
}

TEST_F(FileSelect, CancelAndFrameCloseChangeNothing) {
    gtk_entry_set_text(GTK_ENTRY(f.bsp_entry), "mine.bsp");
    GtkWidget *d = browse(1);
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(d), bsp.c_str());
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(d)->cancel_button));
    pump_events();
    EXPECT_TRUE(open_dialogs().empty());
    EXPECT_EQ(entry(1), "mine.bsp");

    d = browse(1);
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(d), bsp.c_str());
    close_from_frame(d);
    pump_events();
    EXPECT_TRUE(open_dialogs().empty());
    EXPECT_EQ(entry(1), "mine.bsp");
}

TEST_F(FileSelect, BrowsingAgainReplacesTheText) {
    choose(browse(1), bsp);
    EXPECT_EQ(entry(1), bsp);
    choose(browse(1), aas);
    EXPECT_EQ(entry(1), aas);
    EXPECT_STREQ(f.selected_paths[1], aas.c_str());
}

TEST_F(FileSelect, EachOpenDialogServesItsOwnField) {
    GtkWidget *older = browse(1);
    GtkWidget *newer = browse(2);
    ASSERT_NE(older, newer);
    EXPECT_EQ(f.browse_index, 2);

    // OK on the older dialog fills the BSP entry and leaves the newer open.
    choose(older, bsp);
    EXPECT_EQ(entry(1), bsp);
    EXPECT_EQ(entry(2), "");
    ASSERT_EQ(open_dialogs().size(), 1u);
    EXPECT_EQ(open_dialogs()[0], newer);
    choose(newer, aas);
    EXPECT_EQ(entry(2), aas);
    EXPECT_EQ(entry(1), bsp);

    // The newer one cancelled, the older still works on its own field.
    older = browse(3);
    newer = browse(0);
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(newer)->cancel_button));
    pump_events();
    std::vector<seen_dialog> shown = choose(older, shot);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(entry(3), shot);
    EXPECT_EQ(entry(0), "");
    EXPECT_TRUE(open_dialogs().empty());
    // Both names outlive their dialogs.
    EXPECT_STREQ(f.selected_paths[1], bsp.c_str());
    EXPECT_STREQ(f.selected_paths[3], shot.c_str());
}

} // namespace
