// The game's own files: the entries of its pak*.pk3 archives, and the
// shaders their scripts define.  Shows nothing and prints nothing.
#pragma once

#include <cstddef>
#include <functional>
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
    // Lines about the archives and scripts that could not be read.
    std::vector<std::string> notes;
    // Game paths of the scripts left unread for their size.
    std::vector<std::string> big_scripts;
};

// Lines about what cannot be read: a game archive that is not a readable
// zip, and a shader script larger than the scripts' limit.
std::string unreadable_pak_note(const std::string &path, const std::string &reason);
std::string big_script_note(const std::string &path);

// The names of dir's entries whose lower-case form keep accepts, sorted
// bytewise: the game's paks, the other pk3s.
std::vector<std::string> names_in(const std::string &dir,
                                  const std::function<bool(const std::string &)> &keep);

// The first folder holding a pak0.pk3, searched in this order: explicit_dir
// (the command line's choice), the author's game folder, the folder in the
// environment variable MAPCRATE_GAME_DIR, then the games' usual install
// places (the game whose folder name the author's folder bears first).
// MAPCRATE_GAME_DIR set but empty searches none of the usual places.  A
// pak0.pk3 that does not open as a zip does not count: a line naming it
// goes to notes and the search goes on.  Empty when none holds one.
std::string find_game_dir(const std::string &explicit_dir, const std::string &author_dir,
                          std::vector<std::string> &notes);

// The game's files in dir: every archive whose name is pak*.pk3 in any
// case, read in name order through the zip library, and of the shaders
// only those wanted holds (all without it).  An archive is opened only
// when it is a regular file, without blocking; one that cannot be read
// whole (not a zip, cut short, a script that does not inflate) gives
// nothing but a note.  found is set when at least one was read.
// sink.cancelled is asked between archives: a stop leaves the rest unread.
game_files read_game_files(const std::string &dir,
                           const std::unordered_set<std::string> *wanted = nullptr,
                           const progress_sink &sink = {});
