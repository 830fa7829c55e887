// mapcrate --check PATH...: each package's findings, one a line, then its
// counts, on standard output; then the run's count.  --quiet keeps only the
// findings.
#include <sys/stat.h>

#include <algorithm>

#include "check/check.h"
#include "cli/cli.h"
#include "report/shown.h"
#include "io/io.h"
#include "level/game_files.h"
#include "level/tree.h"
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

// The packages a path names: a folder's pk3s in the order the game loads
// them, anything else as it is.
std::vector<std::string> packages_of(const std::string &path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return {path};
    std::vector<std::string> paths;
    for (const std::string &name :
         names_in(path, [](const std::string &lower) { return extension(lower) == ".pk3"; }))
        paths.push_back(join_path(path, name));
    return paths;
}

// The package's line of counts.
void print_counts(const std::string &path, const check_counts &c) {
    const std::pair<msg, std::size_t> counts[] = {
        {msg::check_count_maps, c.maps},           {msg::check_count_missing, c.missing},
        {msg::check_count_replaced, c.replaced},   {msg::check_count_conflicts, c.conflicts},
        {msg::check_count_unreadable, c.unreadable}, {msg::check_count_unused, c.unused},
        {msg::check_count_game_owned, c.game_owned}};
    report summary = report_of(msg::check_summary, step_id::check, path);
    for (const auto &[what, count] : counts) {
        report piece = report_of(what, step_id::check);
        piece.count = count;
        summary.why += (summary.why.empty() ? "" : ", ") + terminal_text(piece);
    }
    print_report(summary);
}

// Checks one package: its lines, then its exit status.
int check_one(const std::string &path, const cli_options &o) {
    package_check check = check_package(path, o.game);
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
    // The game's own verdict comes after the check's, and outranks it; the
    // counts close the package's lines.
    int status = o.verify ? tell_verify(verify_package(path), path, o.quiet) : exit_packed;
    check_counts counts = count_findings(check);
    if (!o.quiet)
        print_counts(path, counts);
    if (status != exit_packed)
        return status;
    return plays_as_intended(counts) ? exit_packed : exit_refused;
}

} // namespace

int check_command(const cli_options &o) {
    int worst = exit_packed;
    std::size_t checked = 0, intended = 0;
    for (const std::string &path : o.checks) {
        const std::vector<std::string> packages = packages_of(path);
        // A folder that holds no package is a wrong argument, not a pass.
        if (packages.empty()) {
            tell(report_of(msg::check_no_package, step_id::check, path));
            worst = std::max(worst, int(exit_usage));
        }
        for (const std::string &package : packages) {
            int status = check_one(package, o);
            ++checked;
            intended += status == exit_packed;
            // A signal ends the run.
            if (status > 128)
                return status;
            worst = std::max(worst, status);
        }
    }
    if (!o.quiet) {
        report run = report_of(msg::check_run_summary, step_id::check);
        run.count = checked;
        run.other = std::to_string(intended);
        print_report(run);
    }
    return worst;
}
