#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "../../tests/gui_support.h"
#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

const std::string folder_message = "Veuillez selectionner un dossier valide pour les textures";
const std::string file_message = "Impossible d'ouvrir le fichier.\nVerifiez son existance ou qu'il "
                                 "n'y ai pas de caracteres accentués.";
const std::string mandatory_message = "Revérifiez les champs en Rouge, ils sont obligatoires.";
const std::string question = "Aucun mode de jeu n'a été choisis, le pk3 n'apparaitre dans aucune "
                             "catégorie.\nVoulez-vous continuer ?";

// TEMPORARY until build_window lands.
void make_form(form_record &f) {
    build_window(&f);
    if (f.window)
        return;
    f.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(f.window), box);
    for (auto &e : f.entries) {
        e = gtk_entry_new();
        gtk_box_pack_start(GTK_BOX(box), e, TRUE, FALSE, 0);
    }
    for (auto &m : f.mode_buttons) {
        m = gtk_check_button_new_with_label("m");
        gtk_box_pack_start(GTK_BOX(box), m, TRUE, FALSE, 0);
    }
    for (auto &b : f.browse_buttons) {
        b = gtk_button_new_with_label("URL");
        g_signal_connect(b, "clicked", G_CALLBACK(search), &f);
        gtk_box_pack_start(GTK_BOX(box), b, TRUE, FALSE, 0);
    }
    f.execute_button = gtk_button_new_from_stock("gtk-execute");
    g_signal_connect(f.execute_button, "clicked", G_CALLBACK(valider), &f);
    gtk_box_pack_start(GTK_BOX(box), f.execute_button, TRUE, FALSE, 0);
    gtk_widget_show_all(f.window);
}

struct seen_dialog {
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    GtkWindow *parent = nullptr;
    bool modal = false;
};

// Answers every dialog that comes up while armed, the way the user would,
// and records what each one said.
struct dialog_log {
    std::vector<seen_dialog> seen;
    GtkWidget *last = nullptr;
    bool armed = true;
    int answer = GTK_RESPONSE_OK;
    bool close_from_frame = false;
};

void answer_dialogs(std::shared_ptr<dialog_log> log) {
    when_dialog_appears([log](GtkWidget *d) {
        if (!log->armed) {
            gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_NONE);
            return;
        }
        seen_dialog s;
        s.text = message_text(d);
        g_object_get(d, "message-type", &s.type, nullptr);
        s.parent = gtk_window_get_transient_for(GTK_WINDOW(d));
        s.modal = gtk_window_get_modal(GTK_WINDOW(d));
        log->seen.push_back(s);
        log->last = d;
        g_object_add_weak_pointer(G_OBJECT(d), reinterpret_cast<gpointer *>(&log->last));
        if (log->close_from_frame) {
            GdkEvent *e = gdk_event_new(GDK_DELETE);
            e->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(d)));
            gtk_main_do_event(e);
            gdk_event_free(e);
        } else {
            gtk_dialog_response(GTK_DIALOG(d), log->answer);
        }
        answer_dialogs(log);
    });
}

// The answer still waiting is spent on a throwaway dialog, so it cannot
// leak into the next test.
void disarm(dialog_log &log) {
    log.armed = false;
    GtkWidget *spare = gtk_dialog_new();
    gtk_widget_show(spare);
    while (dialog_answer_pending())
        g_main_context_iteration(nullptr, TRUE);
    gtk_widget_destroy(spare);
    if (log.last)
        g_object_remove_weak_pointer(G_OBJECT(log.last), reinterpret_cast<gpointer *>(&log.last));
}

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
    }
    void TearDown() override {
        g_signal_handlers_disconnect_by_func(f.window, reinterpret_cast<gpointer>(gtk_main_quit),
                                             nullptr);
        gtk_widget_destroy(f.window);
        pump_events();
    }

    void fill(const char *textures, const char *bsp, const char *aas, const char *shot,
              const char *name, const char *description, std::vector<int> modes) {
        const char *texts[6] = {textures, bsp, aas, shot, name, description};
        for (int i = 0; i < 6; ++i)
            gtk_entry_set_text(GTK_ENTRY(f.entries[i]), texts[i]);
        for (int i = 0; i < 8; ++i)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(f.mode_buttons[i]), FALSE);
        for (int m : modes)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(f.mode_buttons[m]), TRUE);
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
        o.dialog_gone = log->last == nullptr;
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
        {"AAS missing before mandatory", "", "", "missing.aas", "", "m", &file_message},
        {"AAS is a folder", "", "level.bsp", "tex", "", "m", &file_message},
        {"levelshot missing", "", "level.bsp", "bot.aas", "missing.jpg", "m", &file_message},
        {"levelshot is a folder", "", "level.bsp", "", "tex", "m", &file_message},
        {"map name empty", "tex", "level.bsp", "bot.aas", "shot.jpg", "", &mandatory_message},
        {"BSP empty", "tex", "", "bot.aas", "shot.jpg", "m", &mandatory_message},
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
