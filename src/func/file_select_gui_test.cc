// The "URL" buttons: a refusal keeps its dialog, and with several dialogs
// open each fills its own entry.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../../tests/support.h"
#include "gui_test_form.h"

namespace {

const std::string folder_message = "La source n'est pas un dossier, ou le chemin contient un "
                                   "caracteres accentu\xc3\xa9s.\nSelectionnez un dossier ne "
                                   "contenant que les textures.";
const std::string file_message = "Impossible d'ouvrir le fichier.\nVerifiez son existance ou qu'il "
                                 "n'y ai pas de caracteres accentu\xc3\xa9s.";
using texts = std::vector<std::string>;

// Presses OK on name; returns the texts of the messages shown.
texts choose(GtkWidget *dialog, const std::string &name) {
    auto log = std::make_shared<dialog_log>();
    answer_dialogs(log);
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(dialog), name.c_str());
    gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(dialog)->ok_button));
    disarm(*log);
    texts shown;
    for (const seen_dialog &d : log->seen)
        shown.push_back(d.text);
    return shown;
}

} // namespace

TEST(FileSelect, ARefusalKeepsItsDialogAndEachOpenDialogFillsItsOwnEntry) {
    temp_dir work;
    const std::string tex = work.path + "/tex", bsp = work.path + "/level.bsp";
    mkdir(tex.c_str(), 0755);
    write_file(bsp, "x");
    form_record f;
    make_form(f);
    // Answered in this order; opened in the reverse one, so that every
    // answer after the first goes to a dialog older than the last opened.
    const struct {
        int k;
        std::string refused;
        const std::string &message;
        std::string good; // "" to cancel
    } rows[] = {
        {3, tex, file_message, ""},
        {0, bsp, folder_message, tex},
        {1, tex, file_message, bsp},
        {2, work.path + "/none", file_message, bsp},
        {0, bsp + "/", folder_message, work.path},
    };
    const size_t n = std::size(rows);
    GtkWidget *dialogs[n];
    for (size_t i = n; i-- > 0;) {
        gtk_button_clicked(GTK_BUTTON(f.browse_buttons[rows[i].k]));
        dialogs[i] = f.file_dialog;
    }
    for (size_t i = 0; i < n; ++i) {
        const auto &r = rows[i];
        SCOPED_TRACE(r.refused);
        const std::string before = gtk_entry_get_text(GTK_ENTRY(f.entries[r.k]));
        EXPECT_EQ(choose(dialogs[i], r.refused), texts{r.message});
        EXPECT_EQ(shown_dialogs().size(), n - i) << "a refused choice must keep its dialog";
        if (r.good.empty())
            gtk_button_clicked(GTK_BUTTON(GTK_FILE_SELECTION(dialogs[i])->cancel_button));
        else
            EXPECT_EQ(choose(dialogs[i], r.good), texts{});
        EXPECT_EQ(shown_dialogs().size(), n - i - 1);
        EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(f.entries[r.k])), r.good.empty() ? before : r.good);
    }
    destroy_form(f);
}
