// The game's own files: the entries of its pak*.pk3 archives, and the
// shaders their scripts define.  Shows nothing and prints nothing.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "level/readers.h"

struct game_files {
    bool found = false;
    std::string dir;                       // the folder of the archives
    std::size_t count = 0;                 // their file entries
    std::unordered_set<std::string> paths; // each entry's name, in lower case
    std::unordered_set<std::string> keys;  // and as shader_key gives it
    // From scripts/*.shader, each name's copy in the last archive that has it,
    // the scripts in the order the engine joins them: a shader's first
    // definition here is the one the game uses.
    std::vector<shader_def> shaders;
};

// The first folder holding a pak0.pk3, searched in this order: explicit_dir
// (the command line's choice), the author's game folder, the folder in the
// environment variable MAPCRATE_GAME_DIR, then the games' usual install
// places (the game whose folder name the author's folder bears first).
// MAPCRATE_GAME_DIR set but empty searches none of the usual places.
// Empty when none holds one.
std::string find_game_dir(const std::string &explicit_dir, const std::string &author_dir);

// The game's files in dir: every archive whose name is pak*.pk3, read in
// name order through the zip library.  An archive that does not open gives
// nothing; found is set when at least one did.
game_files read_game_files(const std::string &dir);
