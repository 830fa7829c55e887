// Messages on standard error, in the locale's encoding, through the terminal's printer.
#include "cli/cli.h"
#include "report/shown.h"

void tell(const std::string &latin1, const std::string &raw) {
    print_text(in_locale(text_of(msg::cli_program) + latin1) + shown(raw) + "\n", stderr);
}

void tell(const report &r) {
    print_text(in_locale(text_of(msg::cli_program)) + terminal_text(r) + "\n", stderr);
}
