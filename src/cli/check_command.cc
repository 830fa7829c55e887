// mapcrate --check PACKAGE: the check's findings, one a line, on standard
// output; --quiet keeps only the findings.
#include "check/check.h"
#include "cli/cli.h"
#include "report/shown.h"
#include "verify/verify.h"

namespace {

// A line made whole elsewhere, the program's text around names, shown as
// the plan's notes are.
void print_note(const std::string &note) {
    print_text(shown(as_utf8(note)) + "\n");
}

// One of the check's own lines.
bool print_line(msg what, const std::string &path = "", std::uint64_t count = 0) {
    report r = report_of(what, step_id::check, path);
    r.count = count;
    return print_report(r);
}

void print_finding(const finding &f) {
    if (f.what == msg::game_big_script)
        print_note(render(f, plain_style));
    else
        print_report(f);
}

} // namespace

int check_command(const cli_options &o) {
    package_check check = check_package(o.check, o.game);
    if (failed(check.failure)) {
        // The system's words come in the locale's encoding, the program's in ISO-8859-1.
        report unreadable = check.failure;
        unreadable.what = msg::check_unreadable_package;
        unreadable.why = in_locale(latin1_path(render(check.failure, plain_style)));
        tell(unreadable);
        return exit_unreadable_package;
    }
    if (!check.game_found)
        tell(report_of(msg::check_no_game, step_id::check));
    else if (!o.quiet)
        print_line(msg::check_game, check.game_dir, check.game_file_count);
    for (const std::string &note : check.notes)
        print_note(note);
    size_t found = check.findings.size() + check.conflicts.size();
    for (const map_check &map : check.maps) {
        if (!o.quiet)
            print_line(msg::check_map, map.name);
        for (const finding &f : map.findings)
            print_finding(f);
        found += map.findings.size();
    }
    for (const finding &f : check.findings)
        print_finding(f);
    for (const std::string &line : check.conflicts)
        print_text(shown(line) + "\n");
    if (found == 0 && !o.quiet)
        print_line(msg::check_nothing);
    // The game's own verdict comes after the check's, and outranks it.
    if (o.verify)
        if (int status = tell_verify(verify_package(o.check), o.check, o.quiet);
            status != exit_packed)
            return status;
    return found == 0 ? exit_packed : exit_refused;
}
