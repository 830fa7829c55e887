// Checking a map package as the game will read it: what its maps use that
// is found nowhere, what it carries for nothing, and what the engine
// cannot read.  Reads the package and the game's archives, changes
// nothing and prints nothing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class finding_kind {
    missing,       // a map uses it, and neither the package nor the game has it
    unreadable,    // the engine cannot read it: reason says why
    game_owned,    // the game ships the same bytes
    unused,        // no map of the package uses it
    replaces_game, // the game ships other bytes under its name: other is the game's pak
    game_code,     // game code (vm/*.qvm, *.so, *.dll) that is not the game's own
    too_big,       // a shader script over the scripts' limit, left unread
};

struct finding {
    finding_kind kind;
    std::string name;   // game path or entry name, raw bytes
    std::string reason; // ISO-8859-1, for unreadable
    std::string other;  // raw bytes that end the reason (another entry, a map, a pak); may be empty
};

struct map_check {
    std::string name; // as maps/<name>.bsp spells it
    std::vector<finding> findings;
};

struct package_check {
    // Why the package cannot be read as a zip (ISO-8859-1 or the system's
    // words); empty when it was read.
    std::string failure;
    bool game_found = false; // the game's own pak*.pk3 were found
    std::string game_dir;
    std::size_t game_file_count = 0;
    // Lines about the game's archives and scripts that could not be read.
    std::vector<std::string> notes;
    std::vector<map_check> maps;   // the package's maps/*.bsp, in its order
    std::vector<finding> findings; // about the package as a whole, by kind
    // Lines about the player's other packages that hold its game paths with
    // other bytes or define its shaders otherwise, as the plan prints them.
    std::vector<std::string> conflicts;
};

// Checks the package at package_path against the game's archives, found
// as for packing (game_dir first).  Files a map uses are looked for only
// when the game's archives were found.  One of the game's own pak*.pk3, in
// the game's folder, replaces its earlier paks' files on purpose: it gets
// no replaces_game or game_code finding.
package_check check_package(const std::string &package_path, const std::string &game_dir);
