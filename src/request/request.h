// What the user asks for: the form's six fields, the game modes, the game's
// folder and the options.  Plain values, copied from the window's entries
// or built from the command line's arguments; nothing of the toolkit.
#pragma once

#include <array>
#include <string>
#include <vector>

// A file the command line's --add packs as it is, at game_path.
struct added_file {
    std::string source, game_path;
};

struct pack_request {
    std::string textures_dir;
    std::string bsp_path;
    std::string aas_path;
    std::string levelshot_path;
    std::string map_name;
    std::string description;
    // FFA, TDM, CTF, Single, Tourney, CA, 1v1, 2v2 (the window's eight),
    // then LMS, Elimination, CTF Elimination, One Flag, Harvester, Overload,
    // Double Domination, Domination: the order of mode_tokens.
    std::array<bool, 16> modes{};
    // The folder of the game's pk3s the command line names; the window names none.
    std::string game_dir;
    bool yes = false;     // answer yes to every question
    bool dry_run = false; // list the package, write nothing
    bool quiet = false;   // no progress lines
    bool verify = false;  // try the package in the game once written
    // Keys of the generated arena script: no author key when empty, the
    // bots "phobos" when empty, no capturelimit key when negative.
    std::string author, bots;
    int fraglimit = 20, timelimit = 60, capturelimit = -1;
    // The author's own arena script, packed instead of the generated one
    // when arena_path is given: its path and its bytes, read once.
    std::string arena_path, arena_script;
    // Files packed as they are, after the planned ones.
    std::vector<added_file> added;
    // A map pack (the command line's --bsp given more than once): every BSP, in
    // order, each map named after its file; map_name then names the package and
    // bsp_path is the first.  Empty for one map, and in the window.
    std::vector<std::string> bsp_paths = {};
    bool make_levelshot = false; // the game makes the levelshot, after the plan
};
