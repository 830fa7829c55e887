// The popup, Quit, the frame's close and the "URL" buttons, reached as the user does.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <filesystem>
#include <functional>

#include "gui_support.h"
#include "support.h"

namespace {

using names = std::vector<std::string>;

// Runs act in a main loop, dialogs answered with answer: did act end the loop?
bool ends_the_loop(std::function<void()> act, int answer, std::shared_ptr<dialog_log> &log) {
    static bool ended;
    auto run = [](gpointer act) -> gboolean {
        (*static_cast<std::function<void()> *>(act))();
        if (!(ended = gtk_main_iteration_do(FALSE)))
            gtk_main_quit();
        return FALSE;
    };
    g_idle_add(run, &act);
    log = answered(gtk_main, answer);
    return ended;
}

// The messages shown when OK is pressed on name in a file selection.
std::string choose(GtkWidget *dialog, const std::string &name) {
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(dialog), name.c_str());
    GtkWidget *ok = GTK_FILE_SELECTION(dialog)->ok_button;
    auto log = answered([ok] { gtk_button_clicked(GTK_BUTTON(ok)); });
    std::string shown;
    for (const seen_dialog &d : log->seen)
        shown += d.text;
    return shown;
}

} // namespace

TEST(Commands, PopupShowsItsTextAsIsInEveryLocaleWrapsAPathAndLeavesNothingOnScreen) {
    const std::string path = "textures/" + std::string(250, 'x') + ".tga";
    for (int kind : {1, 0}) {
        std::setlocale(LC_ALL, kind ? "C.UTF-8" : "C");
        bool drawn_when_back = true;
        auto log = answered([&] {
            popup(("100% %s %n \xe9t\xe9 " + path).c_str(), kind);
            // Whatever the caller does next may hold the main loop: the dialog's
            // end must have reached the screen already.
            gdk_display_sync(gdk_display_get_default());
            drawn_when_back = !gtk_events_pending();
        });
        ASSERT_EQ(log->seen.size(), 1u);
        EXPECT_EQ(log->seen[0].text, "100% %s %n \xc3\xa9t\xc3\xa9 " + path) << kind;
        EXPECT_EQ(log->seen[0].type, kind ? GTK_MESSAGE_INFO : GTK_MESSAGE_ERROR);
        EXPECT_LE(log->seen[0].width, gdk_screen_width());
        EXPECT_TRUE(drawn_when_back);
        EXPECT_TRUE(shown_dialogs().empty());
    }
}

// Execute leaves nothing of its own in the folder: Quit removes nothing there.
TEST(Commands, QuitRemovesNoFileAndTheFrameCloseEndsAtOnce) {
    const names all = {"levelshots", "mapcrate", "maps", "scripts", "sound", "textures"};
    // 0: no Quit, the window closed from its frame.
    for (int answer :
         {int(GTK_RESPONSE_NO), int(GTK_RESPONSE_DELETE_EVENT), int(GTK_RESPONSE_YES), 0}) {
        temp_dir work;
        for (const char *d : {"maps", "textures", "scripts", "levelshots", "sound"})
            mkdir(d, 0755);
        write_file("maps/arena.bsp", "IBSP");
        write_file("mapcrate", "credits\r\n");
        form_record f;
        make_form(f);
        std::shared_ptr<dialog_log> log;
        auto act = [&] {
            answer ? gtk_button_clicked(GTK_BUTTON(f.quit_button)) : close_from_frame(f.window);
        };
        EXPECT_EQ(ends_the_loop(act, answer, log), !answer || answer == GTK_RESPONSE_YES);
        EXPECT_EQ(log->seen.size(), answer ? 1u : 0u);
        EXPECT_EQ(list_dir("."), all) << answer;
        EXPECT_EQ(list_dir("maps"), names{"arena.bsp"});
        if (answer)
            destroy_form(f);
    }
}

TEST(FileSelect, ARefusalKeepsItsDialogAndEachOpenDialogFillsItsOwnEntry) {
    temp_dir work;
    const std::string tex = work.path + "/tex", bsp = work.path + "/level.bsp";
    mkdir(tex.c_str(), 0755);
    write_file(bsp, "x");
    form_record f;
    make_form(f);
    const char *folder = "La source n'est pas un dossier", *file = "Impossible d'ouvrir le fichier";
    // Answered in this order, opened in the reverse one: every answer after
    // the first goes to a dialog older than the last opened.
    const struct {
        int k;
        std::string refused;
        const char *message;
        std::string good;
    } rows[] = {{3, tex, file, bsp},
                {0, bsp, folder, tex},
                {1, tex, file, bsp},
                {2, tex + "/none", file, bsp},
                {0, bsp + "/", folder, work.path}};
    const size_t n = std::size(rows);
    GtkWidget *dialogs[n];
    for (size_t i = n; i-- > 0;) {
        gtk_button_clicked(GTK_BUTTON(f.browse_buttons[rows[i].k]));
        dialogs[i] = f.file_dialog;
    }
    for (size_t i = 0; i < n; ++i) {
        const auto &r = rows[i];
        const std::string before = gtk_entry_get_text(GTK_ENTRY(f.entries[r.k]));
        EXPECT_EQ(choose(dialogs[i], r.refused).rfind(r.message, 0), 0u) << r.refused;
        EXPECT_EQ(shown_dialogs().size(), n - i) << "a refused choice must keep its dialog";
        EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(f.entries[r.k])), before);
        EXPECT_EQ(choose(dialogs[i], r.good), "");
        EXPECT_EQ(shown_dialogs().size(), n - i - 1);
        EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(f.entries[r.k])), r.good);
    }
    destroy_form(f);
}
