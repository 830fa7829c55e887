// Execute in the window: the three steps, with their rules, questions and
// failures shown as dialogs.
#include "mapcrate.h"

namespace {

const char *const not_written_message =
    "Le pk3 n'a pas \xe9t\xe9 \xe9"
    "crit.\nConsultez les messages affich\xe9s dans le terminal pour en conna\xee"
    "tre la raison.";

std::string staging_failed_message(const std::string &path) {
    return "La pr\xe9paration du pk3 a \xe9"
           "chou\xe9 : " +
           latin1_path(shown(path)) + "\nLe pk3 n'a pas \xe9t\xe9 \xe9" + "crit.";
}

// No answer but an explicit No stops: closing the question means go on.
bool user_goes_on(GtkWidget *window, const question &q) {
    std::string text = q.text + "\n" + go_on_text;
    return yes_no(window, text.c_str()) != GTK_RESPONSE_NO;
}

} // namespace

void valider(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    get_field(f);
    request_check check = verif_field(f);
    if (check.failed) {
        popup(check.failed->message, 0);
        return;
    }
    plan_form(f);
    print_plan(f->plan);
    for (const question &q : questions_to_ask(check, f->plan))
        if (!user_goes_on(f->window, q))
            return;
    execute_result result = stage_and_pack(f);
    if (result.step == failed_step::staging)
        popup(staging_failed_message(result.what).c_str(), 0);
    // Without this a failed write would look the same as a success.
    if (result.step == failed_step::packing)
        popup(not_written_message, 0);
}
