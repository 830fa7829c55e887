// A package checked, or tried in the game's server, from the window: the
// same steps as --check and --verify, off the toolkit's thread, their
// verdict first and every line after it in a scrolled dialog.
#include "check/check.h"
#include "main/window.h"
#include "report/render.h"
#include "report/shown.h"
#include "terminal/printer.h"
#include "verify/verify.h"

namespace {

std::string line_of(const std::string &note) {
    return latin1_path(shown(as_utf8(note))) + "\n";
}

std::string finding_line(const finding &f) {
    return f.what == msg::game_big_script ? line_of(render(f, plain_style)) : dialog_text(f) + "\n";
}

// What the check found, a line each, in --check's order; found counts the findings.
std::string check_lines(const package_check &check, size_t &found) {
    report game = report_of(msg::check_game, step_id::check, check.game_dir);
    game.count = check.game_file_count;
    std::string lines = dialog_text(check.game_found ? game : report_of(msg::check_no_game)) + "\n";
    for (const std::string &note : check.notes)
        lines += line_of(note);
    found = check.findings.size() + check.conflicts.size();
    for (const map_check &map : check.maps) {
        lines += dialog_text(report_of(msg::check_map, step_id::check, map.name)) + "\n";
        for (const finding &f : map.findings)
            lines += finding_line(f);
        found += map.findings.size();
    }
    for (const finding &f : check.findings)
        lines += finding_line(f);
    for (const conflict &c : check.conflicts)
        lines += latin1_path(shown(conflict_line(c))) + "\n";
    return lines;
}

std::string tried_line(const verify_line &line) {
    return dialog_text_of(tried_text(line), line.note);
}

} // namespace

void check_in_window(form_record *f, const std::string &path) {
    package_check check;
    if (!run_off_thread(f, msg::run_checking, nullptr, [path, &check](const progress_sink &sink) {
            check = check_package(path, "", sink);
        }))
        return tell(dialog_text(report_of(msg::check_cancelled, step_id::check, path)));
    if (failed(check.failure)) {
        // The reason is the program's own text already.
        std::string text = text_of(msg::check_unreadable_package);
        text.replace(text.find("{why}"), 5, render(check.failure, plain_style));
        message_over(f->window, 0,
                     {dialog_text_of(text, report_of(msg::ok, step_id::check, path))});
        return;
    }
    size_t found = 0;
    listed_text shown_text{"", check_lines(check, found), ""};
    msg said = found == 0   ? msg::check_verdict_clean
               : found == 1 ? msg::check_verdict_one
                            : msg::check_verdict_found;
    report verdict = report_of(said, step_id::check, path);
    verdict.count = found;
    shown_text.before = dialog_text(verdict);
    message_over(f->window, found ? 0 : 1, shown_text);
}

void try_in_window(form_record *f, const std::string &path) {
    verify_report run;
    if (!run_off_thread(
            f, msg::run_trying, nullptr,
            [path, &run](const progress_sink &) { run = verify_package(path); }, true) ||
        run.stopped_by != 0)
        return;
    listed_text shown_text;
    for (const verify_line &line : run.lines)
        shown_text.list += text_of(msg::verify_line) + tried_line(line) + "\n";
    report verdict = report_of(msg::try_passed, step_id::verify, path);
    if (run.verdict == verify_verdict::no_engine)
        verdict.what = msg::verify_no_engine;
    shown_text.before = dialog_text(verdict);
    if (run.verdict == verify_verdict::refused) {
        verdict.what = msg::verify_refused;
        shown_text.before = dialog_text(verdict);
        for (const verify_line &line : run.lines)
            if (line.failed) {
                shown_text.before += tried_line(line);
                break;
            }
    }
    message_over(f->window, run.verdict == verify_verdict::pass ? 1 : 0, shown_text);
}

void pick_and_check(form_record *f) {
    GtkWidget *chooser = gtk_file_chooser_dialog_new(
        to_utf8(text_of(msg::check_button)).c_str(), GTK_WINDOW(f->window),
        GTK_FILE_CHOOSER_ACTION_OPEN, GTK_STOCK_CANCEL, GTK_RESPONSE_CANCEL, GTK_STOCK_OPEN,
        GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileFilter *pk3 = gtk_file_filter_new();
    gtk_file_filter_add_pattern(pk3, "*.pk3");
    gtk_file_filter_add_pattern(pk3, "*.PK3");
    gtk_file_chooser_set_filter(GTK_FILE_CHOOSER(chooser), pk3);
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        g_autofree gchar *name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        path = name ? name : "";
    }
    gtk_widget_destroy(chooser);
    if (!path.empty())
        check_in_window(f, path);
}
