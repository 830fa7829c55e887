// Start-up: the window, its buttons, the layout and every connection.
#include "main/window.h"

void init_btn(form_record *f) {
    f->execute_button = gtk_button_new_from_stock("gtk-execute");
    f->quit_button = gtk_button_new_from_stock("gtk-quit");
    f->help_button = gtk_button_new_from_stock("gtk-help");
    f->info_button = gtk_button_new_from_stock("gtk-info");
    f->clear_button = gtk_button_new_from_stock("gtk-clear");
    for (GtkWidget *&b : f->browse_buttons)
        b = gtk_button_new_with_label("URL");
}

void build_window(form_record *f) {
    f->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(f->window), 480, 480);
    gtk_window_set_title(GTK_WINDOW(f->window), "Mapcrate v0.1");
    g_signal_connect(f->window, "delete-event", G_CALLBACK(close_window), f);
    g_signal_connect(f->window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    init_btn(f);
    f->table = gtk_table_new(8, 11, TRUE);
    gtk_container_add(GTK_CONTAINER(f->window), f->table);
    place_btn(f);
    place_opt(f);
    place_ifo(f);
    place_img(f);
    place_sbn(f);
    g_signal_connect(f->quit_button, "clicked", G_CALLBACK(quit_func), f);
    g_signal_connect(f->clear_button, "clicked", G_CALLBACK(cleaner), f);
    g_signal_connect(f->execute_button, "clicked", G_CALLBACK(valider), f);
    g_signal_connect(f->info_button, "clicked", G_CALLBACK(info_popup), f->window);
    g_signal_connect(f->help_button, "clicked", G_CALLBACK(aide_popup), f);
    for (GtkWidget *b : f->browse_buttons)
        g_signal_connect(b, "clicked", G_CALLBACK(search), f);
    gtk_widget_show_all(f->window);
}

void start_window(form_record *f, const report &problem) {
    build_window(f);
    if (failed(problem))
        popup(dialog_text(problem).c_str(), 0);
}
