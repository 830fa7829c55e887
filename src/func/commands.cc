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
    std::string question = to_utf8("Voulez-vous quitter Mapcrate ?");
    GtkWidget *dialog =
        gtk_message_dialog_new(GTK_WINDOW(f->window), GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION,
                               GTK_BUTTONS_YES_NO, "%s", question.c_str());
    gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    if (answer != GTK_RESPONSE_YES)
        return;
    free_all(f);
    gtk_main_quit();
}
