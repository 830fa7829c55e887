// mapcrate --check PATH...: each package's findings, one a line, then its
// counts, on standard output; then the run's count.  --quiet keeps only the
// findings.  --json: one JSON object a package a line instead.  The packages
// are checked (and tried in the game) on every core, the game's archives
// read once for all, and told in their order.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <map>

#include <nlohmann/json.hpp>

#include "check/check.h"
#include "cli/cli.h"
#include "report/shown.h"
#include "io/in_order.h"
#include "io/io.h"
#include "level/game_files.h"
#include "level/tree.h"
#include "verify/stop_signals.h"
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

// What was found of one package, and how the game took it.
struct package_outcome {
    package_check check;
    bool tried = false; // verify holds the game's verdict
    verify_report verify;
    int skipped_by = 0; // the signal that came before it was begun
};

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

// The package's findings as JSON: under each kind, one object a path, with
// the maps that meet it (maps) or the game's file it replaces (other).
nlohmann::json json_findings(const package_check &check) {
    nlohmann::json kinds = {{"missing", nlohmann::json::array()},
                            {"overrides", nlohmann::json::array()},
                            {"unreadable", nlohmann::json::array()},
                            {"unused", nlohmann::json::array()},
                            {"in_game", nlohmann::json::array()}};
    std::map<std::pair<std::string, std::string>, std::size_t> seen; // kind, path: index
    auto add = [&](const finding &f, const std::string *map) {
        const char *kind = f.what == msg::check_missing       ? "missing"
                           : f.what == msg::check_unused      ? "unused"
                           : f.what == msg::check_game_owned  ? "in_game"
                           : f.what == msg::check_replaces_game || f.what == msg::check_game_code
                               ? "overrides"
                               : "unreadable";
        nlohmann::json &list = kinds[kind];
        auto [at, added] = seen.emplace(std::make_pair(kind, f.path), list.size());
        if (added) {
            list.push_back({{"path", f.path}});
            if (!f.other.empty())
                list.back()["other"] = f.other;
            if (std::string(kind) == "unreadable")
                list.back()["text"] = as_utf8(render(f, plain_style));
        }
        if (map)
            list[at->second]["maps"].push_back(*map);
    };
    for (const map_check &map : check.maps)
        for (const finding &f : map.findings)
            add(f, &map.name);
    for (const finding &f : check.findings)
        add(f, nullptr);
    nlohmann::json conflicts = nlohmann::json::array();
    for (const conflict &c : check.conflicts) {
        nlohmann::json one = {{"path", c.path},
                              {"kind", c.what == msg::conflict_shader ? "shader" : "file"},
                              {"other", c.other},
                              {"taken_from", c.taker}};
        if (!c.script.empty())
            one["script"] = c.script;
        conflicts.push_back(one);
    }
    kinds["conflicts"] = conflicts;
    return kinds;
}

// Prints one JSON line.  Names that are not UTF-8 have each bad byte
// replaced by U+FFFD (dump would throw on them otherwise).
void print_json(const nlohmann::json &line) {
    std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fputs((text + "\n").c_str(), stdout);
}

// --verify's lines as JSON: the game's verdict and each step tried.
nlohmann::json json_verify(const verify_report &run) {
    const char *result = run.stopped_by != 0                           ? "stopped"
                         : run.verdict == verify_verdict::no_engine ? "no_engine"
                         : run.verdict == verify_verdict::refused   ? "refused"
                                                                    : "pass";
    nlohmann::json steps = nlohmann::json::array();
    for (const verify_line &line : run.lines) {
        nlohmann::json step = {
            {"ok", !line.failed},
            {"text", as_utf8(render_text(tried_text(line), line.note, plain_style))}};
        if (!line.note.path.empty())
            step["path"] = line.note.path;
        steps.push_back(step);
    }
    return {{"result", result}, {"steps", steps}};
}

// The exit status --verify's verdict gives.
int verify_status(const verify_report &run) {
    if (run.stopped_by != 0)
        return 128 + run.stopped_by;
    return run.verdict == verify_verdict::pass        ? exit_packed
           : run.verdict == verify_verdict::no_engine ? exit_no_engine
                                                      : exit_engine_refused;
}

// --json: the package's one line, then its exit status.
int tell_json(const std::string &path, const package_outcome &out) {
    const package_check &check = out.check;
    nlohmann::json line = {{"package", path}};
    if (failed(check.failure)) {
        line["status"] = "unreadable";
        line["why"] = as_utf8(render(check.failure, plain_style));
        print_json(line);
        return exit_unreadable_package;
    }
    // null: the game's archives were not found, and nothing is missing.
    line["game"] = check.game_found ? nlohmann::json(check.game_dir) : nlohmann::json();
    nlohmann::json names = nlohmann::json::array();
    for (const map_check &map : check.maps)
        names.push_back(map.name);
    line["maps"] = names;
    line.update(json_findings(check));
    bool intended = plays_as_intended(count_findings(check));
    line["status"] = intended ? "ok" : "problems";
    if (out.tried)
        line["verify"] = json_verify(out.verify);
    print_json(line);
    int status = out.tried ? verify_status(out.verify) : exit_packed;
    if (status != exit_packed)
        return status;
    return intended ? exit_packed : exit_refused;
}

// One package's lines, then its exit status.
int tell_outcome(const std::string &path, const package_outcome &out, const cli_options &o) {
    if (o.json)
        return tell_json(path, out);
    const package_check &check = out.check;
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
    // A path several maps miss is one line naming them, after the maps.
    std::vector<std::string> shared_order;
    std::map<std::string, std::vector<std::string>> missed_by;
    for (const map_check &map : check.maps)
        for (const finding &f : map.findings)
            if (f.what == msg::check_missing) {
                std::vector<std::string> &maps = missed_by[f.path];
                if (maps.size() == 1)
                    shared_order.push_back(f.path);
                maps.push_back(map.name);
            }
    for (const map_check &map : check.maps) {
        if (!o.quiet)
            print_line(msg::check_map, map.name);
        for (const finding &f : map.findings)
            if (f.what != msg::check_missing || missed_by[f.path].size() == 1)
                print_finding(f);
        found += map.findings.size();
    }
    for (const std::string &path : shared_order) {
        report shared = report_of(msg::check_missing_in_maps, step_id::check, path);
        for (const std::string &name : missed_by[path])
            shared.other += (shared.other.empty() ? "" : ", ") + name;
        print_report(shared);
    }
    for (const finding &f : check.findings)
        print_finding(f);
    for (const conflict &c : check.conflicts)
        print_text(shown(conflict_line(c)) + "\n");
    if (found == 0 && !o.quiet)
        print_line(msg::check_nothing);
    // The game's own verdict comes after the check's, and outranks it; the
    // counts close the package's lines.
    int status = out.tried ? tell_verify(out.verify, path, o.quiet) : exit_packed;
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
    std::vector<std::string> packages;
    for (const std::string &path : o.checks) {
        std::vector<std::string> named = packages_of(path);
        // A folder that holds no package is a wrong argument, not a pass.
        if (named.empty()) {
            tell(report_of(msg::check_no_package, step_id::check, path));
            worst = std::max(worst, int(exit_usage));
        }
        packages.insert(packages.end(), named.begin(), named.end());
    }
    // With --verify, a signal stops the servers and ends the run with the
    // package it met; the signals are taken before the threads begin, so
    // that every thread holds them back.
    std::optional<stop_signals> stoppable;
    if (o.verify)
        stoppable.emplace();
    // The game's archives are read once, while the first packages' levels are.
    checked_game game;
    std::shared_future<void> game_read =
        std::async(std::launch::async, [&] { game = read_checked_game(o.game); }).share();
    auto game_of = [&]() -> const checked_game & {
        game_read.wait();
        return game;
    };
    std::size_t checked = 0, intended = 0;
    int ended_by = 0;
    in_order<package_outcome>(
        packages.size(), threads_for(packages.size()),
        [&](std::size_t i) {
            package_outcome out;
            if (o.verify && (out.skipped_by = stop_signal()) != 0)
                return out;
            out.check = check_package(packages[i], game_of);
            if (o.verify && !failed(out.check.failure)) {
                out.verify = verify_package(packages[i]);
                out.tried = true;
            }
            return out;
        },
        [&](std::size_t i, package_outcome &out) {
            int status = out.skipped_by ? 128 + out.skipped_by : tell_outcome(packages[i], out, o);
            // A signal ends the run.
            if (status > 128) {
                ended_by = status;
                return false;
            }
            ++checked;
            intended += status == exit_packed;
            worst = std::max(worst, status);
            return true;
        },
        [&] {
            // Lets a signal in while this thread waits.
            if (o.verify)
                wait_or_stop(nullptr, 0, 0);
            return true;
        });
    game_read.wait();
    if (ended_by != 0)
        return ended_by;
    if (!o.quiet && !o.json) {
        report run = report_of(msg::check_run_summary, step_id::check);
        run.count = checked;
        run.other = std::to_string(intended);
        print_report(run);
    }
    return worst;
}
