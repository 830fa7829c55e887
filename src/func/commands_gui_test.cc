// Help, About, Clear and Quit, reached by clicking the window's buttons.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../../tests/support.h"
#include "gui_test_form.h"
#include "mapcrate.h"

namespace {

struct window_in_temp_dir {
    temp_dir work;
    form_record f;
    window_in_temp_dir() {
        make_form(f);
    }
    ~window_in_temp_dir() {
        destroy_form(f);
    }
};

struct message {
    bool seen = false;
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    GtkWindow *parent = nullptr;
    std::vector<std::string> buttons;
};

// Runs act, answering the modal dialog it brings up with response; returns
// what the dialog showed, once it is gone.
message answered(int response, const std::function<void()> &act) {
    auto m = std::make_shared<message>();
    when_dialog_appears([m, response](GtkWidget *d) {
        m->seen = true;
        m->text = message_text(d);
        g_object_get(d, "message-type", &m->type, nullptr);
        m->parent = gtk_window_get_transient_for(GTK_WINDOW(d));
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(d)));
        GList *kids =
            gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(d))));
        for (GList *l = kids; l; l = l->next)
            m->buttons.push_back(gtk_button_get_label(GTK_BUTTON(l->data)));
        g_list_free(kids);
        std::sort(m->buttons.begin(), m->buttons.end());
        gtk_dialog_response(GTK_DIALOG(d), response);
    });
    act();
    EXPECT_TRUE(m->seen);
    EXPECT_TRUE(shown_dialogs().empty());
    return *m;
}

// The staging tree of an earlier Execute, one folder not empty, and the
// credits file; returns every name in it.
std::vector<std::string> leftovers() {
    for (const char *d : {"maps", "textures", "scripts", "levelshots"})
        EXPECT_EQ(mkdir(d, 0755), 0);
    write_file("maps/arena.bsp", "IBSP");
    write_file("mapcrate", "credits\r\n");
    return list_dir(".");
}

// Clicks Quit from inside the main loop; tells whether the loop went on
// after the click returned.
bool loop_goes_on_after_quit(form_record &f) {
    struct run {
        GtkWidget *quit;
        bool went_on = false;
        guint next = 0;
    } r{f.quit_button};
    auto click = [](gpointer p) -> gboolean {
        gtk_button_clicked(GTK_BUTTON(static_cast<run *>(p)->quit));
        static_cast<run *>(p)->next = g_idle_add(
            [](gpointer p) -> gboolean {
                static_cast<run *>(p)->went_on = true;
                gtk_main_quit();
                return FALSE;
            },
            p);
        return FALSE;
    };
    g_idle_add(click, &r);
    gtk_main();
    if (!r.went_on)
        g_source_remove(r.next);
    return r.went_on;
}

} // namespace

TEST(Commands, HelpAboutAndPopupShowTheirTextAsIs) {
    window_in_temp_dir w;
    const struct {
        std::function<void()> act;
        GtkMessageType type;
        GtkWindow *parent;
        std::string utf8;
    } rows[] = {
        {[&] { gtk_button_clicked(GTK_BUTTON(w.f.help_button)); }, GTK_MESSAGE_INFO, nullptr,
         "Les entr\xc3\xa9"
         "es rouge sont obligatoires.\nLes entr\xc3\xa9"
         "es bleu sont optionelles.\nUne fois les champs remplis, cliquez sur Executer !\n\n"
         "Version 0.1 : cette version ne g\xc3\xa8re pas les accents dans les arborescences, ni "
         "la r\xc3\xa9"
         "cursivit\xc3\xa9 des dossiers (plusieurs dossiers imbriqu\xc3\xa9s)."},
        // The author and rights lines are free; the accent must come out as UTF-8.
        {[&] { gtk_button_clicked(GTK_BUTTON(w.f.info_button)); }, GTK_MESSAGE_INFO,
         GTK_WINDOW(w.f.window), "Mapcrate v0.1\n"},
        {[] { popup("Fichier illisible : \xe9t\xe9", 0); }, GTK_MESSAGE_ERROR, nullptr,
         "Fichier illisible : \xc3\xa9t\xc3\xa9"},
        {[] { popup("100% %s %n", 1); }, GTK_MESSAGE_INFO, nullptr, "100% %s %n"},
        {[] { popup("", -3); }, GTK_MESSAGE_INFO, nullptr, ""},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.utf8);
        message m = answered(GTK_RESPONSE_OK, r.act);
        if (r.parent) {
            EXPECT_EQ(m.text.rfind(r.utf8, 0), 0u) << m.text;
            EXPECT_NE(m.text.find("\xc3\xa9"), std::string::npos) << m.text;
            EXPECT_TRUE(g_utf8_validate(m.text.c_str(), -1, nullptr));
        } else {
            EXPECT_EQ(m.text, r.utf8);
        }
        EXPECT_EQ(m.type, r.type);
        EXPECT_EQ(m.parent, r.parent);
        EXPECT_EQ(m.buttons, std::vector<std::string>{"gtk-ok"});
    }
}

TEST(Commands, ClearResetsTheFormAndNothingElse) {
    window_in_temp_dir w;
    form_record &f = w.f;
    write_file("keep.txt", "x");
    for (GtkWidget *e : f.entries)
        gtk_entry_set_text(GTK_ENTRY(e), "filled");
    for (GtkWidget *m : f.mode_buttons)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(m), TRUE);
    const char *snapshot = "arena";
    f.map_name = f.selected_paths[1] = snapshot;
    f.mode_states[2] = 1;
    f.browse_index = 3;
    f.map_prefix = "arena/";
    gtk_button_clicked(GTK_BUTTON(f.clear_button));
    for (GtkWidget *e : f.entries)
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(e)), "");
    for (GtkWidget *m : f.mode_buttons)
        EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(m)));
    EXPECT_EQ(f.map_name, snapshot);
    EXPECT_EQ(f.selected_paths[1], snapshot);
    EXPECT_EQ(f.mode_states[2], 1);
    EXPECT_EQ(f.browse_index, 3);
    EXPECT_EQ(f.map_prefix, "arena/");
    EXPECT_EQ(list_dir("."), std::vector<std::string>{"keep.txt"});
}

TEST(Commands, QuitAsksAndOnlyYesCleansUpAndEndsTheLoop) {
    for (int response :
         {int(GTK_RESPONSE_NO), int(GTK_RESPONSE_DELETE_EVENT), int(GTK_RESPONSE_YES)}) {
        SCOPED_TRACE(response);
        const bool yes = response == GTK_RESPONSE_YES;
        window_in_temp_dir w;
        form_record &f = w.f;
        std::vector<std::string> before = leftovers();
        f.map_prefix = f.textures_staging_dir = f.scripts_staging_dir = f.maps_staging_dir =
            f.levelshots_staging_dir = "arena/";
        f.pack_argv = {"mapcrate-pack", "-o", "-9", "arena.pk3", "maps/arena.bsp"};
        bool went_on = true;
        message m = answered(response, [&] { went_on = loop_goes_on_after_quit(f); });
        EXPECT_EQ(went_on, !yes);
        EXPECT_EQ(m.text, "Voulez-vous quitter Mapcrate ?");
        EXPECT_EQ(m.type, GTK_MESSAGE_QUESTION);
        EXPECT_EQ(m.parent, GTK_WINDOW(f.window));
        EXPECT_EQ(m.buttons, (std::vector<std::string>{"gtk-no", "gtk-yes"}));
        EXPECT_EQ(list_dir("."), yes ? std::vector<std::string>{"maps"} : before);
        EXPECT_EQ(list_dir("maps"), std::vector<std::string>{"arena.bsp"});
        for (const std::string *s : {&f.map_prefix, &f.textures_staging_dir, &f.scripts_staging_dir,
                                     &f.maps_staging_dir, &f.levelshots_staging_dir})
            EXPECT_EQ(s->empty(), yes);
        EXPECT_EQ(f.pack_argv.empty(), yes);
        EXPECT_TRUE(yes || gtk_widget_get_visible(f.window));
    }
}

TEST(Commands, FreeAllSparesOtherFilesAndTheRunningProgram) {
    temp_dir work;
    write_file("mapcrate.txt", "not the credits");
    // The credits file's name, here standing for this very program.
    ASSERT_EQ(symlink(std::filesystem::read_symlink("/proc/self/exe").c_str(), "mapcrate"), 0);
    form_record f;
    free_all(&f);
    EXPECT_EQ(list_dir("."), (std::vector<std::string>{"mapcrate", "mapcrate.txt"}));
}
