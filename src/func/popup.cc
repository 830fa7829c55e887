// The message dialogs: the shared popup, the Yes/No question, About and Help.
#include "main/window.h"

namespace {

// Every line of list, however many, in a scrolled view under the label.
void add_list(GtkWidget *dialog, const std::string &latin1_list) {
    GtkWidget *view = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(view), FALSE);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)),
                             to_utf8(latin1_list.c_str()).c_str(), -1);
    GtkWidget *scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
    gtk_widget_set_size_request(scrolled, 420, 180);
    gtk_container_add(GTK_CONTAINER(scrolled), view);
    // Between the text and the secondary text.
    GtkWidget *labels = gtk_widget_get_parent(GTK_MESSAGE_DIALOG(dialog)->label);
    gtk_box_pack_start(GTK_BOX(labels), scrolled, TRUE, TRUE, 0);
    gtk_box_reorder_child(GTK_BOX(labels), scrolled, 1);
    gtk_widget_show_all(scrolled);
}

gint run_message(GtkWindow *parent, GtkMessageType type, GtkButtonsType buttons,
                 const char *latin1_text, const listed_text &more = {},
                 const char *latin1_extra = nullptr) {
    std::string text = to_utf8(latin1_text);
    GtkWidget *dialog =
        gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, buttons, "%s", text.c_str());
    // A path has no blank to wrap at: a long one would push the dialog, and
    // its buttons, past the screen's edge.
    gtk_label_set_line_wrap_mode(GTK_LABEL(GTK_MESSAGE_DIALOG(dialog)->label),
                                 PANGO_WRAP_WORD_CHAR);
    if (!more.list.empty())
        add_list(dialog, more.list);
    if (!more.after.empty())
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                                 to_utf8(more.after.c_str()).c_str());
    if (latin1_extra)
        gtk_dialog_add_button(GTK_DIALOG(dialog), to_utf8(latin1_extra).c_str(), 1);
    gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    settle_screen();
    return answer;
}

} // namespace

void settle_screen() {
    gdk_flush();
    while (gtk_events_pending())
        gtk_main_iteration();
}

void popup(const char *latin1_text, int kind) {
    run_message(nullptr, kind == 0 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO, GTK_BUTTONS_OK,
                latin1_text);
}

gint yes_no(GtkWidget *parent, const char *latin1_question, const listed_text &more) {
    return run_message(parent ? GTK_WINDOW(parent) : nullptr, GTK_MESSAGE_QUESTION,
                       GTK_BUTTONS_YES_NO, latin1_question, more);
}

gint message_over(GtkWidget *parent, int kind, const listed_text &text, const char *latin1_extra) {
    return run_message(GTK_WINDOW(parent), kind == 0 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO,
                       GTK_BUTTONS_OK, text.before.c_str(), text, latin1_extra);
}

void info_popup(GtkWidget *, gpointer window) {
    run_message(GTK_WINDOW(window), GTK_MESSAGE_INFO, GTK_BUTTONS_OK, text_of(msg::about));
}

// Its second button checks a package.
void aide_popup(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    std::string text = std::string(text_of(msg::help)) + "\n\n" + text_of(msg::help_check) +
                       "\n\n" + text_of(msg::help_shot);
    if (message_over(f->window, 1, {text}, text_of(msg::check_button)) == 1)
        pick_and_check(f);
}
