// Execute in the window: the three steps, with their rules, questions and
// failures shown as dialogs.
#include "func/shot_window.h"
#include "main/window.h"
#include "pipeline/pipeline.h"
#include "shot/shot.h"
#include "terminal/printer.h"
#include "terminal/step_lines.h"
#include "zip/zip_read.h"

#include <sys/stat.h>

namespace {

// No answer but an explicit No stops: closing the question means go on.
// A question's list shows whole, in a scrolled view under its first words.
bool user_goes_on(GtkWidget *window, const report &q) {
    listed_text parts = dialog_parts(q);
    std::string &last = parts.list.empty() ? parts.before : parts.after;
    last += "\n" + dialog_text(report_of(msg::go_on));
    if (!parts.list.empty() && !parts.before.empty() && parts.before.back() == '\n')
        parts.before.pop_back();
    return yes_no(window, parts.before.c_str(), parts) != GTK_RESPONSE_NO;
}

// The written package: its path, size and number of entries.
void show_written(form_record *f, const std::string &name) {
    GtkWidget *window = f->window;
    gchar *here = g_get_current_dir();
    report r = report_of(msg::run_written, step_id::packing, std::string(here) + "/" + name);
    g_free(here);
    struct stat st {};
    stat(name.c_str(), &st);
    r.count = static_cast<std::uint64_t>(st.st_size);
    r.other = std::to_string(list_package(name, false).entries.size());
    if (message_over(window, 1, {dialog_text(r)}, text_of(msg::try_button)) == 1)
        try_in_window(f, r.path);
}

} // namespace

pack_request get_field(const form_record *f) {
    pack_request r;
    for (int i = 0; i < 8; ++i)
        r.modes[i] = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(f->mode_buttons[i]));
    // In the order of the entries.
    std::string pack_request::*const fields[6] = {
        &pack_request::textures_dir,   &pack_request::bsp_path, &pack_request::aas_path,
        &pack_request::levelshot_path, &pack_request::map_name, &pack_request::description};
    for (int i = 0; i < 6; ++i)
        r.*fields[i] = gtk_entry_get_text(GTK_ENTRY(f->entries[i]));
    // The game makes the levelshot: the entry, off, is not read.
    if ((r.make_levelshot = shot_asked(f)))
        r.levelshot_path.clear();
    return r;
}

void valider(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    pack_request request = get_field(f);
    request_check check = verif_field(request);
    if (failed(check.refused)) {
        popup(dialog_text(check.refused).c_str(), 0);
        return;
    }
    // Off the toolkit's thread, from copies of the request; the questions
    // come between, on the toolkit's.
    pack_run run;
    if (!run_off_thread(f, msg::run_planning, nullptr, [request, &run](const progress_sink &sink) {
            plan_form(request, run, sink);
            if (!run.plan.cancelled)
                print_plan(run.plan);
        }))
        return tell(dialog_text(report_of(msg::run_cancelled, step_id::plan)));
    std::vector<report> questions = questions_to_ask(check, run.plan);
    for (const report &q : shot_questions(request))
        questions.push_back(q);
    for (const report &q : questions)
        if (!user_goes_on(f->window, q))
            return;
    if (request.make_levelshot && !shot_in_window(f, request, run))
        return;
    report result;
    run_off_thread(f, msg::run_packing, &run, [request, &run, &result](const progress_sink &sink) {
        result = stage_and_pack(request, run, sink);
    });
    if (!failed(result))
        return show_written(f, request.map_name + ".pk3");
    drop_new_shot(run);
    // Stopped by the user: nothing to tell but on the terminal.
    if (result.what == msg::run_cancelled)
        return tell(dialog_text(result));
    // Without a word a failed write would look the same as a success.
    std::string text = dialog_text(result);
    tell(text);
    if (result.step == step_id::staging)
        text += "\n" + dialog_text(report_of(msg::pk3_not_written));
    popup(text.c_str(), 0);
}
