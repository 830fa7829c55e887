// --verify on the terminal: the game's lines on standard output, and its
// refusal on standard error.
#include "cli/cli.h"
#include "verify/verify.h"

namespace {

std::string tried_line(const verify_line &line) {
    return render_text(tried_text(line), line.note, terminal_style);
}

} // namespace

std::string verify_line_text(const verify_line &line) {
    return in_locale(text_of(msg::verify_line)) + tried_line(line);
}

int tell_verify(const verify_report &run, const std::string &pk3_path, bool quiet) {
    std::string out;
    for (const verify_line &line : run.lines)
        if (!quiet || line.failed || line.note.path.empty())
            out += verify_line_text(line) + "\n";
    print_text(out);
    if (run.stopped_by != 0)
        return 128 + run.stopped_by;
    if (run.verdict == verify_verdict::no_engine) {
        tell(report_of(msg::verify_no_engine, step_id::verify));
        return exit_no_engine;
    }
    if (run.verdict == verify_verdict::pass)
        return exit_packed;
    for (const verify_line &line : run.lines)
        if (line.failed) {
            report refused = line.note;
            refused.what = msg::verify_refused;
            refused.path = pk3_path;
            print_text(in_locale(text_of(msg::cli_program)) + terminal_text(refused) +
                           tried_line(line) + "\n",
                       stderr);
            break;
        }
    return exit_engine_refused;
}
