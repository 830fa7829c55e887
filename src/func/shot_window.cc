// The levelshot made by the game, from the window.
#include "func/shot_window.h"

#include "shot/shot.h"
#include "terminal/printer.h"

namespace {

const char shot_key[] = "mapcrate-shot-button";

void shot_toggled(GtkToggleButton *button, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    gboolean typed = !gtk_toggle_button_get_active(button);
    gtk_widget_set_sensitive(f->levelshot_entry, typed);
    gtk_widget_set_sensitive(f->browse_buttons[3], typed);
}

// The picture over the window, in a message with where it is kept; true on OK.
bool picture_accepted(form_record *f, const std::string &jpeg, const std::string &kept) {
    std::string text =
        to_utf8(dialog_text(report_of(msg::shot_dialog_text, step_id::verify, kept)).c_str());
    GtkWidget *dialog = gtk_message_dialog_new(
        GTK_WINDOW(f->window), GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_OTHER, GTK_BUTTONS_OK_CANCEL, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), to_utf8(text_of(msg::shot_dialog_title)).c_str());
    GdkPixbufLoader *loader = gdk_pixbuf_loader_new();
    gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar *>(jpeg.data()), jpeg.size(),
                            nullptr);
    gdk_pixbuf_loader_close(loader, nullptr);
    if (GdkPixbuf *pixbuf = gdk_pixbuf_loader_get_pixbuf(loader))
        gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), gtk_image_new_from_pixbuf(pixbuf));
    g_object_unref(loader);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_widget_show_all(dialog);
    gint answer = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    settle_screen();
    return answer == GTK_RESPONSE_OK;
}

bool refused(const report &why) {
    std::string text = dialog_text(why);
    tell(text);
    popup(text.c_str(), 0);
    return false;
}

} // namespace

GtkWidget *new_shot_button(form_record *f) {
    GtkWidget *button =
        gtk_toggle_button_new_with_label(to_utf8(text_of(msg::shot_button)).c_str());
    g_object_set_data(G_OBJECT(f->levelshot_entry), shot_key, button);
    g_signal_connect(button, "toggled", G_CALLBACK(shot_toggled), f);
    return button;
}

GtkWidget *shot_button(const form_record *f) {
    return static_cast<GtkWidget *>(g_object_get_data(G_OBJECT(f->levelshot_entry), shot_key));
}

bool shot_asked(const form_record *f) {
    GtkWidget *button = shot_button(f);
    return button && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button));
}

bool shot_in_window(form_record *f, const pack_request &request, pack_run &run) {
    shot_result shot;
    if (!run_off_thread(
            f, msg::run_shooting, nullptr,
            [request, &run, &shot](const progress_sink &sink) {
                shot = make_levelshot(request, run, {}, sink);
            },
            true) ||
        shot.stopped_by != 0) {
        tell(dialog_text(report_of(msg::run_cancelled, step_id::verify)));
        return false;
    }
    if (failed(shot.outcome))
        return refused(shot.outcome);
    if (!picture_accepted(f, shot.jpeg, kept_shot_path(request)))
        return false;
    report kept = keep_levelshot(request, shot.jpeg, run);
    if (failed(kept))
        return refused(kept);
    print_report(report_of(msg::shot_made, step_id::command_line, kept_shot_path(request)));
    return true;
}
