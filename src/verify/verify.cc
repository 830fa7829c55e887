// --verify: what the package holds, one server run per map, and what the
// server's lines say about each step.
#include "verify/verify.h"

#include <ftw.h>
#include <signal.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "gamepath/game_path.h"
#include "verify/engine_run.h"
#include "verify/stop_signals.h"
#include "zip/zip_read.h"

namespace {

// Typed on the server's console after the map command: the server prints it
// back once everything before it is done.
const char sentinel[] = "mapcrate-verify-end";
const char bot_command[] = "addbot sarge 1\n";

struct package_contents {
    bool readable = false;
    std::vector<std::string> maps;   // "name" of each maps/name.bsp
    std::vector<std::string> aas;    // "name" of each maps/name.aas
    std::vector<std::string> arenas; // each scripts/*.arena, as stored
};

bool starts_with(const std::string &s, const std::string &head) {
    return s.size() >= head.size() && strncasecmp(s.c_str(), head.c_str(), head.size()) == 0;
}

package_contents read_contents(const std::string &pk3_path) {
    package_contents c;
    // A directory that breaks off still gives the entries before the break.
    package_listing zip = list_package(pk3_path, false);
    c.readable = zip.directory;
    for (const package_entry &e : zip.entries) {
        const std::string &entry = e.name;
        if (in_folder(entry, "maps/", ".bsp"))
            c.maps.push_back(entry.substr(5, entry.size() - 9));
        else if (in_folder(entry, "maps/", ".aas"))
            c.aas.push_back(entry.substr(5, entry.size() - 9));
        else if (in_folder(entry, "scripts/", ".arena"))
            c.arenas.push_back(entry);
    }
    return c;
}

bool holds(const std::vector<std::string> &names, const std::string &name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string &n) { return same_blind(n, name); });
}


// The server's error lines: its own, the game's and the bots' library's.
bool is_error(const std::string &line) {
    static const char *const heads[] = {"ERROR", "Error:", "Fatal:", "Exit:"};
    return std::any_of(std::begin(heads), std::end(heads), [&](const char *head) {
        return line.compare(0, std::strlen(head), head) == 0;
    });
}

bool about_aas(const std::string &line) {
    const std::string aas = "aas";
    return std::search(line.begin(), line.end(), aas.begin(), aas.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           }) != line.end();
}

// Why a step failed, in our words or in the server's own line: a record
// whose what is msg::ok when it passed.
using why = report;

why note(msg what, std::uint64_t count = 0, const std::string &detail = "") {
    why r = report_of(what, step_id::verify);
    r.why = detail;
    r.count = count;
    return r;
}

why said(const std::string &line) {
    why r = note(msg::verify_said);
    r.other = line;
    return r;
}

verify_line passed_line(const std::string &what, msg how) {
    return {report_of(how, step_id::verify, what), false};
}

verify_line step_line(const std::string &what, why failure) {
    if (!failed(failure))
        return passed_line(what, msg::verify_ok);
    failure.path = what;
    return {failure, true};
}

// A step's outcome: its error line, else passed, else how the server
// stopped short of the sentinel, else otherwise.
why outcome(const std::string &error, bool passed, const why &stopped, msg otherwise) {
    return !error.empty()    ? said(error)
           : passed          ? why{}
           : failed(stopped) ? stopped
                             : note(otherwise);
}

// How a server that stopped short of the sentinel stopped.
why gave_up(const engine_output &run, const std::string &last, int seconds) {
    if (run.signal != 0) {
        const char *name = sigabbrev_np(run.signal);
        return note(name ? msg::verify_signal_named : msg::verify_signal,
                    static_cast<std::uint64_t>(run.signal), name ? name : "");
    }
    if (run.finished)
        return last.empty() ? note(msg::verify_silent) : said(last);
    return note(msg::verify_too_slow, static_cast<std::uint64_t>(seconds));
}

// What the lines of one run say, step by step; a step that failed ends the
// map's lines.
void judge(const std::string &map, bool has_aas, const std::vector<std::string> *arenas,
           const engine_output &run, int seconds, std::vector<verify_line> &lines) {
    const std::vector<std::string> &out = run.lines;
    const size_t none = std::string::npos;
    size_t aas_ready = none, ended = none, entered = none;
    bool started = false;
    std::string map_error, aas_error, bot_error, last;
    for (size_t i = 0; i < out.size(); ++i) {
        const std::string &l = out[i];
        if (l == sentinel && ended == none)
            ended = i;
        if (ended != none)
            continue;
        started = started || l.compare(0, 9, "InitGame:") == 0;
        if (l == "AAS initialized." && aas_ready == none)
            aas_ready = i;
        if (aas_ready != none && entered == none && l.find(" entered the game") != none)
            entered = i;
        if (!l.empty())
            last = l;
        std::string &slot = about_aas(l) ? aas_error : aas_ready == none ? map_error : bot_error;
        if (is_error(l) && slot.empty())
            slot = l;
    }
    // Short of the sentinel: the server stopped by itself or ran out of time.
    why stopped = ended != none ? why{} : gave_up(run, last, seconds);
    bool short_of_end = failed(stopped);
    // The last step of a map holds only when the server got to the sentinel.
    why failure = !map_error.empty()   ? said(map_error)
                  : started && has_aas ? why{}
                  : short_of_end       ? stopped
                  : started            ? why{}
                  : last.empty()       ? note(msg::verify_silent)
                                       : said(last);
    // A step's line; false when it failed, which ends the map's lines.
    auto passed = [&](const std::string &what, const why &failure) {
        lines.push_back(step_line(what, failure));
        return !failed(failure);
    };
    if (!passed("maps/" + map + ".bsp", failure))
        return;
    for (const std::string &arena : arenas ? *arenas : std::vector<std::string>()) {
        bool read = std::any_of(out.begin(), out.end(), [&](const std::string &l) {
            return starts_with(l, "FS_FOpenFileRead: " + arena + " (found in '");
        });
        passed(arena, read ? why{} : note(msg::verify_arena_unread));
    }
    if (arenas && arenas->empty())
        passed("scripts/" + map + ".arena", note(msg::verify_arena_missing));
    if (!has_aas) {
        lines.push_back(passed_line("bots", msg::verify_no_aas));
        return;
    }
    bool aas_read = aas_ready != none;
    if (passed("maps/" + map + ".aas",
               outcome(aas_read ? "" : aas_error, aas_read, stopped, msg::verify_aas_not_ready)))
        passed("bots",
               outcome(bot_error, entered != none && !short_of_end, stopped, msg::verify_no_bot));
}

// One server run on one map of the package, in a home folder of its own;
// its lines go to lines.  False when the server could not be started.
bool try_map(const engine_setup &setup, const std::string &package, const std::string &file,
             const std::string &map, bool has_aas, const std::vector<std::string> *arenas,
             std::vector<verify_line> &lines) {
    // The server reads its command line as console text: a name with a
    // blank or a semicolon would be cut or run as commands.
    for (char c : map)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.') {
            lines.push_back(step_line("maps/" + map + ".bsp", note(msg::verify_bad_name)));
            return true;
        }
    private_folder home("mapcrate-verify-");
    std::string game = home.path + "/baseoa";
    if (home.path.empty() || mkdir(game.c_str(), 0700) != 0 ||
        symlink(package.c_str(), (game + "/" + file).c_str()) != 0) {
        lines.push_back(step_line("maps/" + map + ".bsp", note(msg::verify_no_home)));
        return true;
    }
    std::vector<std::string> argv = {setup.engine};
    for (const char *name_value : {"com_basegame baseoa", "net_enabled 0", "sv_pure 1",
                                   "fs_debug 1", "developer 1", "dedicated 1"}) {
        std::string pair = name_value;
        size_t space = pair.find(' ');
        argv.insert(argv.end(), {"+set", pair.substr(0, space), pair.substr(space + 1)});
    }
    argv.insert(argv.end(),
                {"+set", "fs_basepath", setup.base, "+set", "fs_homepath", home.path, "+map", map});
    std::string input = std::string(has_aas ? bot_command : "") + "echo " + sentinel + "\n";
    engine_output run = run_engine(argv, home.path, input, sentinel, setup.seconds);
    if (!run.started)
        return false;
    // Stopped by the user: the run says nothing about the map.
    if (stop_signal() == 0)
        judge(map, has_aas, arenas, run, setup.seconds, lines);
    return true;
}

} // namespace

bool find_engine(engine_setup &setup) {
    if (setup.engine.empty())
        setup.engine = program_on_path("ioq3ded", "/usr/lib/ioquake3/ioq3ded");
    if (setup.base.empty())
        setup.base = "/usr/lib/openarena-server";
    setup.engine = absolute_path(setup.engine);
    setup.base = absolute_path(setup.base);
    struct stat st;
    return is_executable_file(setup.engine) &&
           stat((setup.base + "/baseoa/pak0.pk3").c_str(), &st) == 0;
}

verify_report verify_package(const std::string &pk3_path, engine_setup setup) {
    verify_report report;
    if (!find_engine(setup)) {
        report.verdict = verify_verdict::no_engine;
        return report;
    }
    package_contents contents = read_contents(pk3_path);
    std::unique_ptr<char, decltype(&std::free)> full(realpath(pk3_path.c_str(), nullptr),
                                                     &std::free);
    if (!contents.readable || !full)
        report.lines.push_back(step_line(pk3_path, note(msg::verify_not_zip)));
    else if (contents.maps.empty())
        report.lines.push_back(step_line("maps/*.bsp", note(msg::verify_no_map)));
    // The server loads only the pk3 files of its folders.
    std::string file = file_of(pk3_path);
    if (!ends_with_blind(file, ".pk3"))
        file += ".pk3";
    size_t tried = full && contents.readable ? std::min(contents.maps.size(), max_maps_tried) : 0;
    {
        stop_signals stoppable;
        for (size_t i = 0; i < tried && stop_signal() == 0; ++i) {
            const std::string &map = contents.maps[i];
            if (!try_map(setup, full.get(), file, map, holds(contents.aas, map),
                         i == 0 ? &contents.arenas : nullptr, report.lines)) {
                report.verdict = verify_verdict::no_engine;
                return report;
            }
        }
        // One that came outside the waits is taken now, still noted.
        wait_or_stop(nullptr, 0, 0);
        report.stopped_by = stop_signal();
    }
    // The count's text names the limit.
    static_assert(max_maps_tried == 64);
    if (tried < contents.maps.size() && report.stopped_by == 0) {
        report.lines.push_back(passed_line("", msg::verify_maps_left));
        report.lines.back().note.count = contents.maps.size() - tried;
    }
    if (std::any_of(report.lines.begin(), report.lines.end(),
                    [](const verify_line &line) { return line.failed; }))
        report.verdict = verify_verdict::refused;
    return report;
}

std::string tried_text(const verify_line &line) {
    std::string text = line.note.path.empty() ? "" : text_of(msg::verify_tried);
    if (line.failed)
        text += text_of(msg::verify_failed);
    return text + text_of(line.note.what);
}
