// Help, About, Clear and Quit, reached by clicking the window's buttons.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../tests/gui_support.h"
#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

struct window_under_test {
    temp_dir work;
    form_record f;
    window_under_test() {
        build_window(&f);
        pump_events();
    }
    ~window_under_test() {
        if (!GTK_IS_WINDOW(f.window))
            return;
        g_signal_handlers_disconnect_by_func(f.window, reinterpret_cast<gpointer>(gtk_main_quit),
                                             nullptr);
        gtk_widget_destroy(f.window);
        pump_events();
    }
};

struct seen_dialog {
    bool seen = false;
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    GtkWindow *parent = nullptr;
    bool modal = false;
    std::vector<std::string> buttons;
};

// Records the next dialog and answers it.
void answer_next(seen_dialog &out, int response) {
    when_dialog_appears([&out, response](GtkWidget *d) {
        out.seen = true;
        out.text = message_text(d);
        g_object_get(d, "message-type", &out.type, nullptr);
        out.parent = gtk_window_get_transient_for(GTK_WINDOW(d));
        out.modal = gtk_window_get_modal(GTK_WINDOW(d));
        GList *kids =
            gtk_container_get_children(GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(d))));
        for (GList *l = kids; l; l = l->next)
            out.buttons.push_back(gtk_button_get_label(GTK_BUTTON(l->data)));
        g_list_free(kids);
        std::sort(out.buttons.begin(), out.buttons.end());
        gtk_dialog_response(GTK_DIALOG(d), response);
    });
}

int visible_dialogs() {
    int n = 0;
    GList *tops = gtk_window_list_toplevels();
    for (GList *l = tops; l; l = l->next)
        n += GTK_IS_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data));
    g_list_free(tops);
    return n;
}

void make_leftovers() {
    for (const char *d : {"maps", "textures", "scripts", "levelshots"})
        ASSERT_EQ(mkdir(d, 0755), 0);
    write_file("maps/arena.bsp", "IBSP");
    write_file("mapcrate", "credits\r\n");
}

std::vector<std::string> tree() {
    std::vector<std::string> all = list_dir(".");
    for (const char *d : {"maps", "textures", "scripts", "levelshots"})
        if (is_directory(d))
            for (const std::string &n : list_dir(d))
                all.push_back(std::string(d) + "/" + n);
    return all;
}

const char help_utf8[] =
    "Les entr\xc3\xa9"
    "es rouge sont obligatoires.\nLes entr\xc3\xa9"
    "es bleu sont optionelles.\nUne fois les champs remplis, cliquez sur Executer !\n\n"
    "Version 0.1 : cette version ne g\xc3\xa8re pas les accents dans les arborescences, ni la "
    "r\xc3\xa9"
    "cursivit\xc3\xa9 des dossiers (plusieurs dossiers imbriqu\xc3\xa9s).";

} // namespace

TEST(Commands, HelpIsAnInformationWithNoParentAndTheExactText) {
    window_under_test w;
    seen_dialog d;
    answer_next(d, GTK_RESPONSE_OK);
    gtk_button_clicked(GTK_BUTTON(w.f.help_button));
    ASSERT_TRUE(d.seen);
    EXPECT_EQ(d.text, help_utf8);
    EXPECT_EQ(d.type, GTK_MESSAGE_INFO);
    EXPECT_EQ(d.parent, nullptr);
    EXPECT_TRUE(d.modal);
    EXPECT_EQ(d.buttons, std::vector<std::string>{"gtk-ok"});
    EXPECT_EQ(visible_dialogs(), 0);
}

TEST(Commands, AboutIsAnInformationOverTheWindow) {
    window_under_test w;
    seen_dialog d;
    answer_next(d, GTK_RESPONSE_DELETE_EVENT);
    gtk_button_clicked(GTK_BUTTON(w.f.info_button));
    ASSERT_TRUE(d.seen);
    EXPECT_EQ(d.type, GTK_MESSAGE_INFO);
    EXPECT_EQ(d.parent, GTK_WINDOW(w.f.window));
    EXPECT_TRUE(d.modal);
    EXPECT_EQ(d.text.rfind("Mapcrate v0.1\n", 0), 0u) << d.text;
    EXPECT_NE(d.text.find("\xc3\xa9quipe"), std::string::npos) << d.text;
    EXPECT_TRUE(g_utf8_validate(d.text.c_str(), -1, nullptr));
    EXPECT_EQ(visible_dialogs(), 0);
}

TEST(Commands, PopupKindsAndTextShownAsIs) {
    struct row {
        const char *latin1;
        int kind;
        GtkMessageType type;
        const char *utf8;
    } rows[] = {
        {"Fichier illisible : \xe9t\xe9", 0, GTK_MESSAGE_ERROR,
         "Fichier illisible : \xc3\xa9t\xc3\xa9"},
        {"100% %s %n", 1, GTK_MESSAGE_INFO, "100% %s %n"},
        {"", -3, GTK_MESSAGE_INFO, ""},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.latin1);
        seen_dialog d;
        answer_next(d, GTK_RESPONSE_OK);
        popup(r.latin1, r.kind);
        ASSERT_TRUE(d.seen);
        EXPECT_EQ(d.text, r.utf8);
        EXPECT_EQ(d.type, r.type);
        EXPECT_EQ(d.parent, nullptr);
        EXPECT_EQ(visible_dialogs(), 0);
    }
}

TEST(Commands, ClearResetsTheFormAndNothingElse) {
    window_under_test w;
    form_record &f = w.f;
    write_file("keep.txt", "x");
    for (GtkWidget *e : f.entries)
        gtk_entry_set_text(GTK_ENTRY(e), "filled");
    for (GtkWidget *m : f.mode_buttons)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(m), TRUE);
    const char *snapshot = "arena";
    f.map_name = snapshot;
    f.mode_states[2] = 1;
    f.selected_paths[1] = snapshot;
    f.browse_index = 3;
    f.map_prefix = "arena/";
    gtk_button_clicked(GTK_BUTTON(f.clear_button));
    for (GtkWidget *e : f.entries)
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(e)), "");
    for (GtkWidget *m : f.mode_buttons)
        EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(m)));
    EXPECT_EQ(f.map_name, snapshot);
    EXPECT_EQ(f.mode_states[2], 1);
    EXPECT_EQ(f.selected_paths[1], snapshot);
    EXPECT_EQ(f.browse_index, 3);
    EXPECT_EQ(f.map_prefix, "arena/");
    EXPECT_EQ(list_dir("."), std::vector<std::string>{"keep.txt"});
    // Again on the empty form: still empty, no dialog.
    gtk_button_clicked(GTK_BUTTON(f.clear_button));
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(f.map_name_entry)), "");
    EXPECT_EQ(visible_dialogs(), 0);
}

TEST(Commands, QuitNoOrClosedQuestionChangesNothing) {
    for (int response : {int(GTK_RESPONSE_NO), int(GTK_RESPONSE_DELETE_EVENT)}) {
        SCOPED_TRACE(response);
        window_under_test w;
        make_leftovers();
        w.f.map_prefix = "arena/";
        w.f.pack_argv = {"mapcrate-pack", "arena.pk3"};
        std::vector<std::string> before = tree();
        seen_dialog d;
        answer_next(d, response);
        gtk_button_clicked(GTK_BUTTON(w.f.quit_button));
        ASSERT_TRUE(d.seen);
        EXPECT_EQ(d.text, "Voulez-vous quitter Mapcrate ?");
        EXPECT_EQ(d.type, GTK_MESSAGE_QUESTION);
        EXPECT_EQ(d.parent, GTK_WINDOW(w.f.window));
        EXPECT_TRUE(d.modal);
        EXPECT_EQ(d.buttons, (std::vector<std::string>{"gtk-no", "gtk-yes"}));
        EXPECT_EQ(tree(), before);
        EXPECT_EQ(w.f.map_prefix, "arena/");
        EXPECT_EQ(w.f.pack_argv.size(), 2u);
        EXPECT_TRUE(gtk_widget_get_visible(w.f.window));
        EXPECT_EQ(visible_dialogs(), 0);
    }
}

namespace {

gboolean click_quit(gpointer form) {
    gtk_button_clicked(GTK_BUTTON(static_cast<form_record *>(form)->quit_button));
    return FALSE;
}

gboolean give_up(gpointer hung) {
    *static_cast<bool *>(hung) = true;
    gtk_main_quit();
    return FALSE;
}

} // namespace

TEST(Commands, QuitYesCleansUpAndEndsTheLoop) {
    window_under_test w;
    make_leftovers();
    form_record &f = w.f;
    f.map_prefix = "arena/";
    f.pack_argv = {"mapcrate-pack", "-o", "-9", "arena.pk3", "maps/arena.bsp"};
    f.textures_staging_dir = "textures/";
    f.scripts_staging_dir = "scripts/";
    f.maps_staging_dir = "maps/";
    f.levelshots_staging_dir = "levelshots/";
    seen_dialog d;
    answer_next(d, GTK_RESPONSE_YES);
    bool hung = false;
    g_idle_add(click_quit, &f);
    guint guard = g_timeout_add(10000, give_up, &hung);
    gtk_main();
    ASSERT_FALSE(hung) << "Quit+Yes did not end the main loop";
    g_source_remove(guard);
    ASSERT_TRUE(d.seen);
    EXPECT_EQ(tree(), (std::vector<std::string>{"maps", "maps/arena.bsp"}));
    for (const std::string *s : {&f.map_prefix, &f.textures_staging_dir, &f.scripts_staging_dir,
                                 &f.maps_staging_dir, &f.levelshots_staging_dir})
        EXPECT_TRUE(s->empty());
    EXPECT_TRUE(f.pack_argv.empty());
}

TEST(Commands, FreeAllBeforeAnyExecuteIsQuiet) {
    temp_dir work;
    write_file("mapcrate.txt", "not the credits");
    form_record f;
    free_all(&f);
    EXPECT_EQ(list_dir("."), std::vector<std::string>{"mapcrate.txt"});
}
