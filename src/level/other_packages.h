// The player's other packages: the pk3s beside the game's own, in the
// game's folder and in the player's home folder for that game, and the
// lines about the game paths and shaders a package shares with them.
// Shows nothing and prints nothing.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "level/plan.h"
#include "level/readers.h"

// One file a pk3 holds.
struct pk3_entry {
    std::string name; // its game path, as stored
    std::uint64_t size = 0;
    std::uint32_t crc = 0; // CRC-32 of its bytes
};
// One of its scripts/*.shader, and the shaders it defines in its order.
struct pk3_script {
    std::string name; // as stored
    std::vector<shader_def> shaders;
};
// What a pk3 holds, as far as the game's choice between pk3s goes.
struct pk3_contents {
    std::string path;                // as the lines name it; empty for "ce pk3", the one being made
    std::string name;                // its file name, which orders it among its folder's pk3s
    bool in_home = false;            // in the player's home folder, which the game searches first
    std::vector<pk3_entry> entries;  // in the order of its directory
    std::vector<pk3_script> scripts; // likewise
};

// Reads the directory of the pk3 at path and the shaders of its scripts
// (each of at most 16 MiB; one larger or broken defines nothing) into out.
// Only a regular file is read, and a named pipe is never waited on.  False
// when it does not open as a zip; out then holds what was read before.
// With wanted, only the shaders whose names it holds are kept.
bool read_pk3(const std::string &path, pk3_contents &out,
              const std::unordered_set<std::string> *wanted = nullptr);

// The player's home folder for the game whose folder is game_dir:
// $HOME/.openarena/baseoa for baseoa, $HOME/.q3a/baseq3 for baseq3 (names
// compared without case); empty for any other folder or without HOME.
std::string home_game_dir(const std::string &game_dir);

// Every other pk3 of game_dir and of its home folder, that folder read once
// when both are the same: all but the game's own pak*.pk3 and <map_name>.pk3
// (the map's earlier release), names compared without case.  A pk3 that does
// not open is left out, as the game leaves it out.  Nothing without game_dir.
// With wanted, only the shaders whose names it holds are kept of their
// scripts; without contents, none is opened: each gives its path and name.
std::vector<pk3_contents>
read_other_packages(const std::string &game_dir, const std::string &map_name,
                    const std::unordered_set<std::string> *wanted = nullptr, bool contents = true);

// One game path or shader that package and another pk3 both hold, with
// other bytes or another text.
struct conflict {
    msg what = msg::conflict_file; // or conflict_shader
    std::string path;              // the game path, or the shader's name
    std::string other;             // the other pk3, as its path names it
    std::string script;            // conflict_shader: the other's script that defines it
    std::string taker;             // the pk3 the game takes it from with both installed
};

// What package shares with others: first, in the order of its entries, each
// game path another holds with other bytes (size or CRC); then, in the order
// of its scripts, each shader another defines with another text.
std::vector<conflict> conflicts_between(const pk3_contents &package,
                                        const std::vector<pk3_contents> &others);
// "Conflit : ..." or "Conflit de shader : ...", ending in the pk3 the game takes.
std::string conflict_line(const conflict &c);
// The lines of conflicts_between, one each.
std::vector<std::string> conflict_lines(const pk3_contents &package,
                                        const std::vector<pk3_contents> &others);

// The conflict lines of the planned package: <map_name>.pk3 as it will be
// installed, in the player's home folder, against the other pk3s of
// plan.game_dir and its home folder.  sink.cancelled is asked while the
// planned files are summed: a stop gives no line.
std::vector<std::string> plan_conflicts(const package_plan &plan, const std::string &map_name,
                                        const progress_sink &sink = {});
