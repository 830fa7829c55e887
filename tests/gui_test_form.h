// Shared by the window tests of validation, Execute and file selection:
// the form under test, and a stand-in user who answers every dialog.
#pragma once

#include <gtk/gtk.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "gui_support.h"
#include "mapcrate.h"

// The whole window, as start-up builds it, shown.
inline void make_form(form_record &f) {
    build_window(&f);
    pump_events();
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
