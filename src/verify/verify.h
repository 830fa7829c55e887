// A package tried in the game itself: the dedicated server Debian's
// openarena-server installs loads each map of the package from a home
// folder that holds only the package, and a bot joins when there is an AAS.
// What the server prints decides.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/report.h"

enum class verify_verdict { pass, refused, no_engine };

// The most maps of one package tried, one server each; the others are
// named by their count.
constexpr size_t max_maps_tried = 64;

// One step tried, or the count of maps left: "<what> : ok", "<what> :
// echec : <why>", "bots : pas de fichier AAS", "<n> maps non essayées".
// note.what says how it went (verify_ok, verify_said, ...); note.path is
// what was tried, a path of the package as stored or "bots" (empty for the
// count left); note.other the server's own line for verify_said; note.count
// and note.why the figures of the others (a signal, seconds, maps).
struct verify_line {
    report note;
    bool failed = false;
};

// The text of a line after "Jeu : ", its placeholders left for each front
// end to fill from note in its own style: "<what> : " unless it is the
// count left, "echec : " when it failed, then how it went.
std::string tried_text(const verify_line &line);

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
