// The message dialogs: the shared popup, the Yes/No question, About and Help.
#include "main/window.h"

namespace {

gint run_message(GtkWindow *parent, GtkMessageType type, GtkButtonsType buttons,
                 const char *latin1_text) {
    std::string text = to_utf8(latin1_text);
    GtkWidget *dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, buttons, "%s", text.c_str());
    // A path has no blank to wrap at: a long one would push the dialog, and
    // its buttons, past the screen's edge.
    gtk_label_set_line_wrap_mode(GTK_LABEL(GTK_MESSAGE_DIALOG(dialog)->label),
                                 PANGO_WRAP_WORD_CHAR);
    gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    // What follows may hold the main loop for a while (a whole pack): the
    // dialog must be off the screen and the window redrawn first.
    gdk_flush();
    while (gtk_events_pending())
        gtk_main_iteration();
    return answer;
}

} // namespace

void popup(const char *latin1_text, int kind) {
    run_message(nullptr, kind == 0 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO, GTK_BUTTONS_OK,
                latin1_text);
}

gint yes_no(GtkWidget *parent, const char *latin1_question) {
    return run_message(parent ? GTK_WINDOW(parent) : nullptr, GTK_MESSAGE_QUESTION,
                       GTK_BUTTONS_YES_NO, latin1_question);
}

void info_popup(GtkWidget *, gpointer window) {
    run_message(GTK_WINDOW(window), GTK_MESSAGE_INFO, GTK_BUTTONS_OK, text_of(msg::about));
}

void aide_popup(GtkWidget *, gpointer) {
    popup(text_of(msg::help), 1);
}
