// The steps' lines on the terminal, through its one printer.
#include "terminal/step_lines.h"

#include "report/shown.h"
#include "terminal/printer.h"

namespace {

void print_line(msg what, const std::string &path, const char *line_end, std::uint64_t count = 0) {
    report r = report_of(what, step_id::plan, path);
    r.count = count;
    print_report(r, stdout, line_end);
}

} // namespace

void print_plan(const package_plan &plan, const char *line_end) {
    if (plan.game_found)
        print_line(msg::plan_game_files, plan.game_dir, line_end, plan.game_file_count);
    else
        print_line(msg::plan_no_game_files, {}, line_end);
    for (const std::string &path : plan.game_owned)
        print_line(msg::plan_game_owned, path, line_end);
    for (const std::string &path : plan.missing)
        print_line(msg::plan_missing, path, line_end);
    for (const std::string &note : plan.notes)
        print_line(msg::plan_line, as_utf8(note), line_end);
    for (const std::string &line : plan.conflicts)
        print_line(msg::plan_line, line, line_end);
}

progress_sink progress_on_stdout() {
    progress_sink sink;
    sink.tell = [](const report &r) { print_report(r, stdout, "\n"); };
    return sink;
}
