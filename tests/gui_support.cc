#include "gui_support.h"

#include <cstdint>
#include <memory>

namespace {

// Dialogs are told apart by a number given the first time one is seen: a
// new dialog often takes the address of one just destroyed.
uintptr_t next_number = 1;

uintptr_t number_of(GtkWidget *dialog) {
    gpointer n = g_object_get_data(G_OBJECT(dialog), "gui-support-number");
    if (!n) {
        n = reinterpret_cast<gpointer>(next_number++);
        g_object_set_data(G_OBJECT(dialog), "gui-support-number", n);
    }
    return reinterpret_cast<uintptr_t>(n);
}

struct pending_answer {
    uintptr_t first_new; // numbers below this were on screen already
    std::function<void(GtkWidget *)> act;
};

int pending_count = 0;

gboolean poll_for_dialog(gpointer data) {
    auto *p = static_cast<pending_answer *>(data);
    for (GtkWidget *w : shown_dialogs()) {
        if (number_of(w) >= p->first_new) {
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
    for (GtkWidget *w : shown_dialogs())
        number_of(w);
    auto *p = new pending_answer{next_number, std::move(act)};
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
