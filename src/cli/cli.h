// The command line's own pieces (not part of the program's interface).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "request/request.h"
#include "terminal/printer.h"

// mapcrate with arguments: the three steps of Execute run from the terminal,
// without the toolkit.  Returns the exit status.
int command_line(int argc, char **argv);

// What the arguments asked for, as text (empty = not given).
struct cli_options {
    std::string textures, bsp, aas, levelshot, name, description, game;
    bool bsp_given = false, name_given = false;
    std::vector<std::string> bsps; // every --bsp: more than one makes a map pack
    int32_t modes[16] = {}; // in the order of mode_tokens
    bool yes = false, dry_run = false, quiet = false;
    // --check PATH..., each a package or a folder of them, and the first
    // option given that does not go with it.
    std::vector<std::string> checks;
    std::string not_with_check;
    bool check_given = false;
    bool verify = false;
    bool make_levelshot = false;
    bool json = false; // --check's findings as JSON Lines
    // Keys of the arena script (-1: not given), the author's own script, the added files.
    std::string author, bots;
    int fraglimit = -1, timelimit = -1, capturelimit = -1;
    std::string arena;
    std::vector<added_file> added;
};

// Exit statuses.
enum exit_status {
    exit_packed = 0,
    exit_refused = 1,
    exit_usage = 2,
    exit_staging = 3,
    exit_packing = 4,
    exit_unreadable_package = 5, // --check: not a zip the library reads
    exit_engine_refused = 6,
    exit_no_engine = 7,
};

// Reads the arguments into options.  Returns -1 to go on; otherwise the
// run is over (--help or --version printed, or a usage error told on
// standard error) and this is its exit status.
int parse_options(int argc, char **argv, cli_options &options);

// --check: each package's findings and counts on standard output, a
// folder's pk3s in the order the game loads them.  Returns the worst exit
// status of the packages: 0 when each plays as intended (unused files and
// copies of the game's are notes), 1 when one misses a file, replaces the
// game's, conflicts or holds what the game cannot read, 5 when one cannot
// be read as a zip; --verify's status outranks these.
int check_command(const cli_options &options);

// --verify: a line as the terminal shows it: the names escaped by shown(),
// the rest in the locale's encoding; no line end.
struct verify_line;
struct verify_report;
std::string verify_line_text(const verify_line &line);
// Prints the report's lines on standard output (quiet: only the failures and
// the count of maps left) and, when the game refused the package, why on
// standard error.  Returns the exit status: exit_packed when it passed,
// exit_engine_refused, exit_no_engine, or 128 plus the number of the signal
// that ended the run.
int tell_verify(const verify_report &report, const std::string &pk3_path, bool quiet);
