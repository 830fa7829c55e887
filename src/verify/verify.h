// A package tried in the game itself: the dedicated server Debian's
// openarena-server installs loads each map of the package from a home
// folder that holds only the package, and a bot joins when there is an AAS.
// What the server prints decides.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class verify_verdict { pass, refused, no_engine };

// The most maps of one package tried, one server each; the others are
// named by their count.
constexpr size_t max_maps_tried = 64;

// One line: "Jeu : <what> : ok", "Jeu : <what> : echec : <why>",
// "Jeu : bots : pas de fichier AAS" or "Jeu : <n> maps non essayées (limite 64)".
struct verify_line {
    std::string what; // a path of the package as stored, or "bots"; empty: the count left
    bool failed = false;
    std::string note; // in ISO-8859-1: "ok", why in our words, or the count's text
    std::string said; // why in the server's own words, as it printed them
};

struct verify_report {
    verify_verdict verdict = verify_verdict::pass;
    std::vector<verify_line> lines; // in the order tried
    int stopped_by = 0;             // the SIGINT, SIGTERM or SIGHUP that ended the run
};

// Where the server and the game are.  Empty: looked for where Debian puts
// them (ioq3ded on PATH, then /usr/lib/ioquake3/; the game's base
// /usr/lib/openarena-server, whose baseoa/ holds the game's pk3s).
struct engine_setup {
    std::string engine;
    std::string base;
    int seconds = 60; // the most one map may take before the server is stopped
};

// Fills the setup's empty fields; false when the server or the game's base
// is missing.
bool find_engine(engine_setup &setup);

// Starts the server once per map of the package (maps/*.bsp, up to
// max_maps_tried) and reads what
// it prints.  A map passes when the server loads its BSP and reads the
// package's arena scripts, and, when the package holds the map's AAS, the
// bots' library loads it ("AAS initialized") and a bot enters the game, all
// with no error line.  The temporary home folder is removed and the server's
// process group stopped whatever happens; a SIGINT, SIGTERM or SIGHUP meanwhile
// ends the run there, noted in stopped_by.  Prints nothing.
verify_report verify_package(const std::string &pk3_path, engine_setup setup = {});

// A line as the terminal shows it: the names escaped by shown(), the rest
// in the locale's encoding; no line end.
std::string verify_line_text(const verify_line &line);

// Prints the report's lines on standard output (quiet: only the failures and
// the count of maps left) and, when the game refused the package, why on
// standard error.  Returns the command line's exit status: 0 when it passed,
// 6 when the game refused the package, 7 when no server is installed, 128
// plus the signal's number when one ended the run.
int tell_verify(const verify_report &report, const std::string &pk3_path, bool quiet);
