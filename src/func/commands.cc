// Clear and Quit.
#include "mapcrate.h"

void cleaner(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    for (GtkWidget *b : f->mode_buttons)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(b), FALSE);
    for (GtkWidget *e : f->entries)
        gtk_entry_set_text(GTK_ENTRY(e), "");
}

void quit_func(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    if (yes_no(f->window, "Voulez-vous quitter Mapcrate ?") != GTK_RESPONSE_YES)
        return;
    free_all(f);
    gtk_main_quit();
}
