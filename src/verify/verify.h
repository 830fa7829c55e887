// A package tried in the game itself: the dedicated server Debian's
// openarena-server installs loads each map of the package from a home
// folder that holds only the package, and a bot joins when there is an AAS.
// What the server prints decides.
#pragma once

#include <string>
#include <vector>

enum class verify_verdict { pass, refused, no_engine };

struct verify_report {
    verify_verdict verdict = verify_verdict::pass;
    // "Jeu : <what> : ok", "Jeu : <what> : echec : <the server's line>" or
    // "Jeu : bots : pas de fichier AAS", in the order tried, without line end
    // (the server's lines with their colour codes taken out).
    std::vector<std::string> lines;
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

// Starts the server once per map of the package (maps/*.bsp) and reads what
// it prints.  A map passes when the server loads its BSP and reads the
// package's arena scripts, and, when the package holds the map's AAS, the
// bots' library loads it ("AAS initialized") and a bot enters the game, all
// with no error line.  The temporary home folder is removed and the server
// stopped, by its own process id, whatever happens.  Prints nothing.
verify_report verify_package(const std::string &pk3_path, engine_setup setup = {});

// Prints the report's lines on standard output and, unless it passed, why on
// standard error.  Returns the command line's exit status: 0 when it
// passed, 6 when the game refused the package, 7 when no server is installed.
int tell_verify(const verify_report &report, const std::string &pk3_path);
