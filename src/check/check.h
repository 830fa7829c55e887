// Checking a map package as the game will read it: what its maps use that
// is found nowhere, what it carries for nothing, and what the engine
// cannot read.  Reads the package and the game's archives, changes
// nothing and prints nothing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/report.h"

// One thing found: what tells it (check_missing, check_encrypted, ...);
// path is the game path or entry name, other, count and why what the
// message names beside it.  game_big_script is told as the game's notes are.
using finding = report;

struct map_check {
    std::string name; // as maps/<name>.bsp spells it
    std::vector<finding> findings;
};

struct package_check {
    // Why the package cannot be read as a zip: what is msg::ok when it was
    // read; why holds the system's words for zip_system_error.
    report failure;
    bool game_found = false; // the game's own pak*.pk3 were found
    std::string game_dir;
    std::size_t game_file_count = 0;
    // Lines about the game's archives and scripts that could not be read.
    std::vector<std::string> notes;
    std::vector<map_check> maps;   // the package's maps/*.bsp, in its order
    std::vector<finding> findings; // about the package as a whole
    // Lines about the player's other packages that hold its game paths with
    // other bytes or define its shaders otherwise, as the plan prints them.
    std::vector<std::string> conflicts;
};

// Checks the package at package_path against the game's archives, found
// as for packing (game_dir first).  Files a map uses are looked for only
// when the game's archives were found.  One of the game's own pak*.pk3, in
// the game's folder, is checked against the other paks, not itself, and
// replaces its earlier paks' files on purpose: it gets no
// check_replaces_game or check_game_code finding.  sink.cancelled is
// asked between files and between pieces of a level: a stop ends the check
// there, with failure check_cancelled and nothing else.
package_check check_package(const std::string &package_path, const std::string &game_dir,
                            const progress_sink &sink = {});

// What a check found, counted: its findings by what they mean to players.
struct check_counts {
    std::size_t maps = 0, missing = 0, replaced = 0, conflicts = 0, unreadable = 0, unused = 0,
                game_owned = 0;
};
check_counts count_findings(const package_check &check);
// True when players see the package as its author meant: nothing missing,
// replaced, conflicting or unreadable.  Unused files and copies of the
// game's are notes.
inline bool plays_as_intended(const check_counts &c) {
    return c.missing + c.replaced + c.conflicts + c.unreadable == 0;
}
