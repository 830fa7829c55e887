// Messages on standard error, in the locale's encoding, through the terminal's printer.
#include "terminal/printer.h"

#include "report/shown.h"

void tell(const std::string &latin1, const std::string &raw) {
    print_text(in_locale(text_of(msg::cli_program) + latin1) + shown(raw) + "\n", stderr);
}

void tell(const report &r, bool passed_over) {
    std::string line = in_locale(text_of(msg::cli_program));
    if (passed_over)
        line += terminal_text(report_of(msg::question_passed_over));
    print_text(line + terminal_text(r) + "\n", stderr);
}
