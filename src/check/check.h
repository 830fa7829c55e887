// Checking a map package as the game will read it: what its maps use that
// is found nowhere, what it carries for nothing, and what the engine
// cannot read.  Reads the package and the game's archives, changes
// nothing and prints nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "level/game_files.h"
#include "level/other_packages.h"
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
    // The player's other packages that hold its game paths with other bytes
    // or define its shaders otherwise.
    std::vector<conflict> conflicts;
};

// A file of the game's archives.
struct game_copy {
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::string pak; // the archive's file name
};

// The game's archives as checks read them: read once, then shared by every
// package of a run (read only).
struct checked_game {
    game_files files;
    // Each file by lower-case path, as the last archive that holds it has
    // it: that copy is the one the game reads.
    std::unordered_map<std::string, game_copy> copies;
    // Each shader's definition the game uses, by shader key: an index in files.shaders.
    std::unordered_map<std::string, std::size_t> shaders;
    // Lines about the folders searched that could not be used.
    std::vector<std::string> notes;
};

// Finds the game's archives as for packing (game_dir first) and reads them;
// files.found is false when there are none.  sink.cancelled is asked
// between archives.
checked_game read_checked_game(const std::string &game_dir, const progress_sink &sink = {});

// Checks the package at package_path against the game's archives, found
// as for packing (game_dir first).  Files a map uses are looked for only
// when the game's archives were found.  One of the game's own pak*.pk3, in
// the game's folder, is the game: its maps are checked, and what the
// engine cannot read, but its other entries are not (it replaces its
// earlier paks' files on purpose, and holds what the game itself uses,
// which no map names).  sink.cancelled is
// asked between files and between pieces of a level: a stop ends the check
// there, with failure check_cancelled and nothing else.
package_check check_package(const std::string &package_path, const std::string &game_dir,
                            const progress_sink &sink = {});
// The same with the game's archives read elsewhere: game() is called on
// this thread once the package's own levels are read, and may wait for them.
package_check check_package(const std::string &package_path,
                            const std::function<const checked_game &()> &game,
                            const progress_sink &sink = {});

// What a check found, counted: its findings by what they mean to players.
// A path several maps miss counts once.
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
