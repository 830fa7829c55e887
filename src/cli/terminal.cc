// Messages on the terminal, in the locale's encoding.
#include <glib.h>

#include <cstdio>

#include "cli/cli.h"
#include "report/shown.h"
#include "terminal/printer.h"

void tell(const std::string &latin1, const std::string &raw) {
    std::string line = "mapcrate: " + in_locale(latin1) + shown(raw) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
