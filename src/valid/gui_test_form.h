// Shared by the window tests of validation, Execute and file selection:
// the form under test, and a stand-in user who answers every dialog.
#pragma once

#include <gtk/gtk.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "../../tests/gui_support.h"
#include "mapcrate.h"

// TEMPORARY until build_window lands.
inline void make_form(form_record &f) {
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

// The window's destroy would end a main loop that the tests do not run.
inline void destroy_form(form_record &f) {
    g_signal_handlers_disconnect_by_func(f.window, reinterpret_cast<gpointer>(gtk_main_quit),
                                         nullptr);
    gtk_widget_destroy(f.window);
    pump_events();
}

struct seen_dialog {
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    GtkWindow *parent = nullptr;
    bool modal = false;
};

struct dialog_log {
    std::vector<seen_dialog> seen;
    // One weak slot per dialog seen: null once that dialog is destroyed.
    std::deque<GtkWidget *> alive;
    bool armed = true;
    int answer = GTK_RESPONSE_OK;
    bool close_from_frame = false;

    bool all_gone() const {
        for (GtkWidget *w : alive)
            if (w)
                return false;
        return true;
    }
};

// Sends what a window manager sends when the user closes a window.
inline void close_from_frame(GtkWidget *w) {
    GdkEvent *e = gdk_event_new(GDK_DELETE);
    e->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
    gtk_main_do_event(e);
    gdk_event_free(e);
}

// Answers every message dialog that comes up from now on, recording it.
inline void answer_dialogs(std::shared_ptr<dialog_log> log) {
    when_dialog_appears([log](GtkWidget *d) {
        if (!log->armed) {
            gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_NONE);
            return;
        }
        seen_dialog s;
        if (GTK_IS_MESSAGE_DIALOG(d)) {
            s.text = message_text(d);
            g_object_get(d, "message-type", &s.type, nullptr);
        }
        s.parent = gtk_window_get_transient_for(GTK_WINDOW(d));
        s.modal = gtk_window_get_modal(GTK_WINDOW(d));
        log->seen.push_back(s);
        log->alive.push_back(d);
        g_object_add_weak_pointer(G_OBJECT(d), reinterpret_cast<gpointer *>(&log->alive.back()));
        if (log->close_from_frame)
            close_from_frame(d);
        else
            gtk_dialog_response(GTK_DIALOG(d), log->answer);
        answer_dialogs(log);
    });
}

// Spends the answer still waiting on a throwaway dialog, so that it cannot
// leak into the next test, and lets go of the dialogs still alive.
inline void disarm(dialog_log &log) {
    log.armed = false;
    GtkWidget *spare = gtk_dialog_new();
    gtk_widget_show(spare);
    while (dialog_answer_pending())
        g_main_context_iteration(nullptr, TRUE);
    gtk_widget_destroy(spare);
    for (GtkWidget *&w : log.alive)
        if (w)
            g_object_remove_weak_pointer(G_OBJECT(w), reinterpret_cast<gpointer *>(&w));
}

inline void fill_form(form_record &f, const char *const texts[6], const std::vector<int> &modes) {
    for (int i = 0; i < 6; ++i)
        gtk_entry_set_text(GTK_ENTRY(f.entries[i]), texts[i]);
    for (int i = 0; i < 8; ++i)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(f.mode_buttons[i]), FALSE);
    for (int m : modes)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(f.mode_buttons[m]), TRUE);
}
