#include "gui_support.h"

#include <algorithm>
#include <fstream>

namespace {

// Window tests run under an X server (xvfb-run); without one, this ends the run at once.
const bool toolkit_ready = (gtk_init(nullptr, nullptr), true);

// Set on each dialog once met, so that none is answered twice.
const char *const met_key = "gui-support-met";

void pump_events() {
    while (gtk_events_pending())
        gtk_main_iteration();
}

// With MAPCRATE_DIALOG_LOG naming a file, each dialog met adds a line to it (tests/outputs.py).
void log_dialog(const seen_dialog &seen) {
    const char *path = g_getenv("MAPCRATE_DIALOG_LOG");
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    if (!path || !test)
        return;
    std::string line = std::string(test->test_suite_name()) + "." + test->name() + ", type " +
                       std::to_string(seen.type) + ": ";
    for (char c : seen.text)
        line += c == '\n' ? std::string("\\n") : std::string(1, c);
    std::ofstream(path, std::ios::app) << line << "\n";
}

// A message's words as the user reads them: its text, then the lines of its
// scrolled list, if any, then its secondary text.
std::string message_text(GtkWidget *d) {
    g_autofree gchar *text = nullptr, *secondary = nullptr;
    g_object_get(d, "text", &text, "secondary-text", &secondary, nullptr);
    std::string said = text ? text : "";
    GList *kids = gtk_container_get_children(
        GTK_CONTAINER(gtk_widget_get_parent(GTK_MESSAGE_DIALOG(d)->label)));
    if (GtkWidget *list = GTK_WIDGET(g_list_nth_data(kids, 1)); GTK_IS_SCROLLED_WINDOW(list)) {
        GtkTextBuffer *b =
            gtk_text_view_get_buffer(GTK_TEXT_VIEW(gtk_bin_get_child(GTK_BIN(list))));
        GtkTextIter start, end;
        gtk_text_buffer_get_bounds(b, &start, &end);
        g_autofree gchar *lines = gtk_text_buffer_get_text(b, &start, &end, FALSE);
        said += "\n" + std::string(lines);
    }
    g_list_free(kids);
    return said + (secondary ? secondary : "");
}

gboolean answer_next(gpointer log_slot) {
    dialog_log &log = **static_cast<std::shared_ptr<dialog_log> *>(log_slot);
    for (GtkWidget *d : shown_dialogs()) {
        // A run's progress dialog goes by itself: only messages are answered.
        if (g_object_get_data(G_OBJECT(d), met_key) || !GTK_IS_MESSAGE_DIALOG(d))
            continue;
        g_object_set_data(G_OBJECT(d), met_key, d);
        log.seen.push_back({"", GTK_MESSAGE_OTHER, gtk_window_get_transient_for(GTK_WINDOW(d)),
                            bool(gtk_window_get_modal(GTK_WINDOW(d))), d->allocation.width});
        g_object_get(d, "message-type", &log.seen.back().type, nullptr);
        log.seen.back().text = message_text(d);
        log_dialog(log.seen.back());
        if (log.on_each)
            log.on_each();
        log.alive.push_back(d);
        g_object_add_weak_pointer(G_OBJECT(d), reinterpret_cast<gpointer *>(&log.alive.back()));
        if (log.answer == GTK_RESPONSE_DELETE_EVENT)
            close_from_frame(d);
        else
            gtk_dialog_response(GTK_DIALOG(d), log.answer);
        break;
    }
    return TRUE;
}

} // namespace

std::vector<GtkWidget *> shown_dialogs() {
    std::vector<GtkWidget *> dialogs;
    GList *tops = gtk_window_list_toplevels();
    for (GList *l = tops; l; l = l->next)
        if (GTK_IS_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
            dialogs.push_back(GTK_WIDGET(l->data));
    g_list_free(tops);
    return dialogs;
}

void make_form(form_record &f) {
    build_window(&f);
    pump_events();
}

void destroy_form(form_record &f) {
    g_signal_handlers_disconnect_by_func(f.window, gpointer(gtk_main_quit), nullptr);
    gtk_widget_destroy(f.window);
    pump_events();
}

void fill_form(form_record &f, const char *const texts[6], const std::vector<int> &modes) {
    for (int i = 0; i < 8; ++i)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(f.mode_buttons[i]),
                                     std::count(modes.begin(), modes.end(), i));
    for (int i = 0; i < 6; ++i)
        gtk_entry_set_text(GTK_ENTRY(f.entries[i]), texts[i]);
}

void close_from_frame(GtkWidget *w) {
    GdkEvent *e = gdk_event_new(GDK_DELETE);
    e->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
    gtk_main_do_event(e);
    gdk_event_free(e);
}

std::shared_ptr<dialog_log> answered(const std::function<void()> &act, int answer,
                                     std::function<void()> on_each) {
    auto log = std::make_shared<dialog_log>();
    log->answer = answer;
    log->on_each = std::move(on_each);
    for (GtkWidget *d : shown_dialogs())
        g_object_set_data(G_OBJECT(d), met_key, d);
    guint source = g_timeout_add_full(
        G_PRIORITY_DEFAULT, 20, answer_next, new std::shared_ptr(log),
        [](gpointer slot) { delete static_cast<std::shared_ptr<dialog_log> *>(slot); });
    act();
    g_source_remove(source);
    for (GtkWidget *&w : log->alive)
        if (w)
            g_object_remove_weak_pointer(G_OBJECT(w), reinterpret_cast<gpointer *>(&w));
    return log;
}
