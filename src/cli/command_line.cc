// mapcrate with arguments: Execute's three steps for build scripts, on the
// terminal.  The toolkit is never initialised: no display is needed.
#include <fcntl.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <map>

#include "cli/cli.h"
#include "gamepath/game_path.h"
#include "io/io.h"
#include "packlist/pack_argv.h"
#include "pipeline/pipeline.h"
#include "report/shown.h"
#include "shot/shot.h"
#include "stage/pack_arena.h"
#include "stage/stage.h"
#include "terminal/step_lines.h"
#include "verify/verify.h"

namespace {

// Points fd at /dev/null, opened with flags.
void to_null(int fd, int flags) {
    fd_owner null{open("/dev/null", flags | O_CLOEXEC)};
    if (null.fd >= 0)
        dup2(null.fd, fd);
}

// Returns standard output as it was, for --verify's failures.
fd_owner drop_progress_lines() {
    std::fflush(stdout);
    fd_owner kept{fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3)};
    to_null(STDOUT_FILENO, O_WRONLY);
    return kept;
}

// One line per entry of the package, in its order: game path, source,
// bytes and why it is there (the two generated files have "-" as their
// source, "arena" or "credits" as their use).  The use's kind is a word
// of the format; its name is shown as the other names are.
void list_entries(const pack_request &request, pack_run &run) {
    creat_argv(request, run);
    std::map<std::string, const planned_file *> planned;
    for (const planned_file &file : run.plan.files)
        planned[file.game_path] = &file;
    for (size_t i = 4; i < run.pack_argv.size(); ++i) {
        const std::string &entry = run.pack_argv[i];
        auto found = planned.find(entry);
        const bool own_arena = entry != "mapcrate" && !request.arena_path.empty();
        std::uint64_t bytes = found != planned.end() ? found->second->bytes
                              : entry == "mapcrate"  ? std::strlen(credits_text)
                              : own_arena            ? request.arena_script.size()
                                                     : package_arena_text(request).size();
        report line = report_of(msg::cli_dry_run_entry, step_id::command_line, entry);
        line.other = found != planned.end() ? found->second->source
                     : own_arena            ? request.arena_path
                                            : "-";
        line.count = bytes;
        if (found == planned.end())
            line.why = entry == "mapcrate" ? "credits" : "arena";
        else if (line.why = found->second->used_by_kind; !found->second->used_by_name.empty())
            line.why += " " + shown(found->second->used_by_name);
        print_report(line);
    }
}

// --make-levelshot: the game's picture kept beside the package and planned
// into it.  Returns the exit status when the run ends here, else -1.
int make_shot(const pack_request &request, pack_run &run) {
    shot_result shot = make_levelshot(request, run);
    if (shot.stopped_by != 0)
        return 128 + shot.stopped_by;
    report kept = failed(shot.outcome) ? shot.outcome : keep_levelshot(request, shot.jpeg, run);
    if (!failed(kept)) {
        print_report(report_of(msg::shot_made, step_id::command_line, kept_shot_path(request)));
        return -1;
    }
    if (kept.step == step_id::packing && kept.what != msg::run_cancelled)
        kept.what = msg::packing_failed;
    tell(kept);
    return kept.what == msg::shot_no_client ? exit_no_engine
           : kept.step == step_id::staging  ? exit_staging
           : kept.step == step_id::packing  ? exit_packing
                                            : exit_engine_refused;
}

// The request the options make.
pack_request request_of(const cli_options &o) {
    pack_request r;
    r.textures_dir = o.textures, r.bsp_path = o.bsp, r.aas_path = o.aas;
    r.levelshot_path = o.levelshot, r.map_name = o.name, r.description = o.description;
    r.game_dir = o.game, r.yes = o.yes, r.dry_run = o.dry_run, r.quiet = o.quiet;
    r.verify = o.verify;
    for (size_t i = 0; i < mode_count; ++i)
        r.modes[i] = o.modes[i] != 0;
    r.author = o.author;
    r.bots = o.bots;
    r.fraglimit = o.fraglimit >= 0 ? o.fraglimit : r.fraglimit;
    r.timelimit = o.timelimit >= 0 ? o.timelimit : r.timelimit;
    r.capturelimit = o.capturelimit;
    r.arena_path = o.arena;
    r.added = o.added;
    if (o.bsps.size() > 1)
        r.bsp_paths = o.bsps;
    r.make_levelshot = o.make_levelshot;
    return r;
}

} // namespace

int command_line(int argc, char **argv) {
    std::setlocale(LC_ALL, "");
    cli_options o;
    if (int status = parse_options(argc, argv, o); status >= 0)
        return status;
    // A script must never wait on a question: nothing reads standard input.
    to_null(STDIN_FILENO, O_RDONLY);
    if (o.check_given)
        return check_command(o);
    pack_request request = request_of(o);
    // The author's own arena script is read once: what is checked is what is packed.
    if (!request.arena_path.empty())
        if (report r = read_own_file(request.arena_path, shader_script_limit, request.arena_script);
            failed(r)) {
            tell(r);
            return exit_refused;
        }
    request_check check = verif_field(request);
    if (failed(check.refused)) {
        tell(check.refused);
        return exit_refused;
    }
    fd_owner standard_output;
    if (request.quiet && !request.dry_run)
        standard_output = drop_progress_lines();
    pack_run run;
    plan_form(request, run);
    if (std::string clash = added_clash(request, run.plan); !clash.empty()) {
        tell(report_of(msg::cli_add_clash, step_id::command_line, clash));
        print_report(report_of(msg::cli_try_help, step_id::command_line), stderr);
        return exit_usage;
    }
    if (request.dry_run)
        list_entries(request, run);
    print_plan(run.plan, request.dry_run ? "\n" : "\n\n");
    std::vector<report> questions = questions_to_ask(check, run.plan);
    for (const report &q : shot_questions(request))
        questions.push_back(q);
    for (const report &q : questions)
        tell(q, request.yes);
    if (!questions.empty() && !request.yes) {
        tell(report_of(msg::nothing_written));
        return exit_refused;
    }
    if (request.dry_run)
        return exit_packed;
    if (request.make_levelshot)
        if (int status = make_shot(request, run); status >= 0)
            return status;
    // The reason goes to standard error, which --quiet keeps.
    report result = stage_and_pack(request, run, progress_on_stdout());
    if (!failed(result) && request.verify) {
        std::fflush(stdout);
        if (standard_output.fd >= 0)
            dup2(standard_output.fd, STDOUT_FILENO);
        return tell_verify(verify_package(run.pack_argv[3]), run.pack_argv[3], request.quiet);
    }
    if (!failed(result))
        return exit_packed;
    drop_new_shot(run);
    tell(result);
    return result.step == step_id::staging ? exit_staging : exit_packing;
}
