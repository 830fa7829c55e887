#include "gui_support.h"

#include <memory>
#include <set>

namespace {

struct pending_answer {
    std::set<GtkWidget *> seen;
    std::function<void(GtkWidget *)> act;
};

int pending_count = 0;

gboolean poll_for_dialog(gpointer data) {
    auto *p = static_cast<pending_answer *>(data);
    for (GtkWidget *w : shown_dialogs()) {
        if (p->seen.count(w) == 0) {
            --pending_count;
            std::unique_ptr<pending_answer> owner(p);
            owner->act(w);
            return FALSE;
        }
    }
    return TRUE;
}

} // namespace

void when_dialog_appears(std::function<void(GtkWidget *dialog)> act) {
    std::vector<GtkWidget *> now = shown_dialogs();
    auto *p = new pending_answer{{now.begin(), now.end()}, std::move(act)};
    ++pending_count;
    g_timeout_add(20, poll_for_dialog, p);
}

std::vector<GtkWidget *> shown_dialogs() {
    std::vector<GtkWidget *> dialogs;
    GList *tops = gtk_window_list_toplevels();
    for (GList *l = tops; l; l = l->next)
        if (GTK_IS_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
            dialogs.push_back(GTK_WIDGET(l->data));
    g_list_free(tops);
    return dialogs;
}

bool dialog_answer_pending() {
    return pending_count > 0;
}

std::string message_text(GtkWidget *dialog) {
    gchar *text = nullptr;
    g_object_get(dialog, "text", &text, nullptr);
    std::string s = text ? text : "";
    g_free(text);
    return s;
}

void pump_events() {
    while (gtk_events_pending())
        gtk_main_iteration();
}
