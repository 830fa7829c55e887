// Execute in the window: the three steps, with their rules, questions and
// failures shown as dialogs.
#include "cli/cli.h"
#include "main/window.h"
#include "pipeline/pipeline.h"
#include "report/shown.h"
#include "terminal/print_plan.h"

namespace {

// The dialog's text and the terminal's line: the step, then the path and
// the reason as the system gave them.
std::string failure_text(const outcome &o) {
    std::string reason = " : " + latin1_path(shown(o.path)) + " : " + latin1_path(o.reason);
    if (o.step == failed_step::staging)
        return "La pr\xe9paration du pk3 a \xe9"
               "chou\xe9" +
               reason + "\nLe pk3 n'a pas \xe9t\xe9 \xe9" + "crit.";
    return "Le pk3 n'a pas \xe9t\xe9 \xe9"
           "crit" +
           reason;
}

// No answer but an explicit No stops: closing the question means go on.
bool user_goes_on(GtkWidget *window, const question &q) {
    std::string text = q.text + "\n" + go_on_text;
    return yes_no(window, text.c_str()) != GTK_RESPONSE_NO;
}

} // namespace

pack_request get_field(const form_record *f) {
    pack_request r;
    for (int i = 0; i < 8; ++i)
        r.modes[i] = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(f->mode_buttons[i]));
    r.textures_dir = gtk_entry_get_text(GTK_ENTRY(f->textures_entry));
    r.bsp_path = gtk_entry_get_text(GTK_ENTRY(f->bsp_entry));
    r.aas_path = gtk_entry_get_text(GTK_ENTRY(f->aas_entry));
    r.levelshot_path = gtk_entry_get_text(GTK_ENTRY(f->levelshot_entry));
    r.map_name = gtk_entry_get_text(GTK_ENTRY(f->map_name_entry));
    r.description = gtk_entry_get_text(GTK_ENTRY(f->description_entry));
    return r;
}

void valider(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    pack_request request = get_field(f);
    request_check check = verif_field(request);
    if (check.failed) {
        const failed_rule &rule = *check.failed;
        std::string text = rule.message;
        popup((rule.path.empty() ? text : text + "\n" + latin1_path(rule.path)).c_str(), 0);
        return;
    }
    pack_run run;
    plan_form(request, run);
    print_plan(run.plan);
    for (const question &q : questions_to_ask(check, run.plan))
        if (!user_goes_on(f->window, q))
            return;
    // Without a word a failed write would look the same as a success.
    outcome result = stage_and_pack(request, run);
    if (result.step == failed_step::none)
        return;
    std::string text = failure_text(result);
    tell(text.substr(0, text.find('\n')));
    popup(text.c_str(), 0);
}
