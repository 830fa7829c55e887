// The four "URL" buttons: pick a folder or a file and fill its entry.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "main/window.h"
#include "valid/field.h"

namespace {

// Each dialog remembers which field it serves, so a second browse opened
// meanwhile cannot redirect an older dialog's OK.
const char *const index_key = "mapcrate-browse-index";

void forget_dialog(GtkWidget *dialog, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    if (f->file_dialog == dialog)
        f->file_dialog = nullptr;
}

} // namespace

void search(GtkWidget *button, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    for (int i = 0; i < 4; ++i)
        if (f->browse_buttons[i] == button)
            f->browse_index = i;
    file_select(f);
}

void file_select(form_record *f) {
    std::string title = to_utf8(text_of(msg::choose_file));
    GtkWidget *dialog = gtk_file_selection_new(title.c_str());
    f->file_dialog = dialog;
    g_object_set_data(G_OBJECT(dialog), index_key, GINT_TO_POINTER(f->browse_index));
    g_signal_connect(dialog, "destroy", G_CALLBACK(forget_dialog), f);
    gtk_widget_show(dialog);
    GtkFileSelection *fs = GTK_FILE_SELECTION(dialog);
    g_signal_connect(fs->ok_button, "clicked", G_CALLBACK(open_proj), f);
    g_signal_connect_swapped(fs->cancel_button, "clicked", G_CALLBACK(gtk_widget_destroy), dialog);
}

void open_proj(GtkWidget *button, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    // The dialog whose OK was pressed, not necessarily the one opened last.
    GtkWidget *dialog = gtk_widget_get_toplevel(button);
    if (!GTK_IS_FILE_SELECTION(dialog))
        return;
    int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(dialog), index_key));
    if (index < 0 || index > 3)
        return;
    // The dialog's own string dies with it; the entry is filled after that.
    const char *name = gtk_file_selection_get_filename(GTK_FILE_SELECTION(dialog));
    f->selected_paths[index] = g_intern_string(name);
    // An entry holds UTF-8 only, and its text is the path used at Execute.
    bool usable = g_utf8_validate(name, -1, nullptr);
    if (index == 0 && !(usable && opens_as_folder(name))) {
        popup(dialog_text(report_of(msg::browse_not_folder)).c_str(), 0);
        return;
    }
    if (index != 0 && !usable) {
        popup(dialog_text(report_of(msg::browse_file_unreadable)).c_str(), 0);
        return;
    }
    if (index != 0 && !is_a_file(name))
        return;
    gtk_widget_destroy(dialog);
    gtk_entry_set_text(GTK_ENTRY(f->entries[index]), f->selected_paths[index]);
}

int is_a_file(const char *path) {
    if (opens_as_file(path))
        return 1;
    popup(dialog_text(report_of(msg::browse_file_unreadable)).c_str(), 0);
    return 0;
}
