// The message dialogs: the shared popup, About and Help.
#include "mapcrate.h"

namespace {

const char about_text[] = "Mapcrate v0.1\n"
                          "Ecrit par l'\xe9quipe Mapcrate.\n"
                          "Tous droits r\xe9serv\xe9s.";

const char help_text[] =
    "Les entr\xe9"
    "es rouge sont obligatoires.\n"
    "Les entr\xe9"
    "es bleu sont optionelles.\n"
    "Une fois les champs remplis, cliquez sur Executer !\n\n"
    "Version 0.1 : cette version ne g\xe8re pas les accents dans les arborescences, ni la r\xe9"
    "cursivit\xe9 des dossiers (plusieurs dossiers imbriqu\xe9s).";

void run_message(GtkWindow *parent, GtkMessageType type, GtkButtonsType buttons,
                 const char *latin1_text) {
    std::string text = to_utf8(latin1_text);
    GtkWidget *dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, buttons, "%s", text.c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

} // namespace

void popup(const char *latin1_text, int kind) {
    run_message(nullptr, kind == 0 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO, GTK_BUTTONS_OK,
                latin1_text);
}

void info_popup(GtkWidget *, gpointer window) {
    run_message(GTK_WINDOW(window), GTK_MESSAGE_INFO, GTK_BUTTONS_OK, about_text);
}

void aide_popup(GtkWidget *, gpointer) {
    popup(help_text, 1);
}
