// Clear and Quit.
#include "main/window.h"

void cleaner(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    for (GtkWidget *b : f->mode_buttons)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(b), FALSE);
    for (GtkWidget *e : f->entries)
        gtk_entry_set_text(GTK_ENTRY(e), "");
}

void quit_func(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    if (yes_no(f->window, text_of(msg::quit_question)) != GTK_RESPONSE_YES)
        return;
    // A run stops first; its clean-up is over before the main loop ends.
    stop_running(f);
    gtk_main_quit();
}

gboolean close_window(GtkWidget *, GdkEvent *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    if (!f->running)
        return FALSE;
    stop_running(f);
    gtk_main_quit();
    return TRUE;
}
