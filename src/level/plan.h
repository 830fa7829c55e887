// The package plan: what one Execute stages and packs, decided before
// anything is written.  Shows nothing and prints nothing, so that the
// window and a command line stage and list the same plan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "messages/messages.h"
#include "report/report.h"

// One file this Execute stages and packs: where it goes in the package (its
// game path, as the archive entry is named, e.g. "textures/crateyard/yard_floor.tga",
// "maps/crateyard.bsp", "sound/crateyard/hum.wav") and where it is copied from.
// used_by_kind and used_by_name tell why it is packed, from the first use
// the plan met; the kinds are words of the dry-run's format, like its
// fields, never translated:
//   shader   an image drawn for a shader no script defines: the shader's name
//   stage    an image or a video of a defined shader's stage: the shader
//   sky      a side of a shader's sky box: the shader
//   model    an image drawn for an undefined shader a model's surface
//            names: the model's game path
//   entity   a sound, music or model an entity names: its classname and
//            the key, one blank apart ("-" for an entity with no classname)
//   script   the author's shader script: the first used shader it defines
//   folder   a file of a textures folder packed whole because the map names
//            none of its files: that folder
//   level, bots, levelshot   the BSP, the AAS, the levelshot (no name)
//   added    a file the author adds as it is (--add; set by plan_form)
struct planned_file {
    std::string game_path;
    std::string source; // path of the file to copy, as given or found
    std::uint64_t bytes = 0;
    std::string used_by_kind{}, used_by_name{}; // "{}": may be left out of a braced list
};

// What goes into the package.
struct package_plan {
    // In archive order: textures/..., then the other top folders (env/,
    // models/, music/, sound/, ...) in name order, then maps/, levelshots/,
    // then the game folder's shader scripts under scripts/, in name order
    // (the engine takes a shader from the last of them).  The generated
    // scripts/<map>.arena and the credits file "mapcrate" are not in this
    // list: staging writes them.
    std::vector<planned_file> files;
    // Game paths: game_owned, of the author's files left out because the game
    // ships them; missing, of those the map uses, found neither in the
    // author's folders nor in the game (only looked for when the game's files
    // were found), those the game could not read, and the used files that
    // could not be taken (a link out of the author's folders, a shader script
    // over its limit), each with a note that tells why.
    std::vector<std::string> game_owned, missing;
    // Lines about what the plan could not read or left out, in the order met (names as they are).
    std::vector<std::string> notes;
    bool game_found = false;         // the game's own pak*.pk3 were found
    std::string game_dir;            // the folder holding them, when found
    std::size_t game_file_count = 0; // entries in the game's archives
    // Lines about the player's other pk3s that hold one of these game paths
    // with other bytes, or define one of the package's shaders otherwise
    // (names as they are).  plan_package leaves it empty; plan_form fills it.
    std::vector<std::string> conflicts;
    // The planning was stopped through its sink: the rest is not to be used.
    bool cancelled = false;
};

// The form's inputs, as text (empty = not given).  game_dir: an explicit
// folder of the game's pak*.pk3 (the command line's --game), searched before
// the author's game folder, MAPCRATE_GAME_DIR and the usual places.
// One map of a map pack: its files, named after map_name in the package.
struct plan_map {
    std::string bsp_path, aas_path, levelshot_path, map_name;
};
// pack: the maps of a map pack, planned as one package in place of the four
// files and name above (whose bsp_path still tells the author's game folder).
struct plan_request {
    std::string textures_dir, bsp_path, aas_path, levelshot_path, map_name, game_dir;
    std::vector<plan_map> pack = {};
};

// The game folder (found from the textures folder) and the game's own
// files are read; files that cannot be read are planned all the same, so
// that staging reports them.  sink.cancelled is asked between files and
// between pieces of the level: a stop gives an empty plan marked cancelled.
package_plan plan_package(const plan_request &request, const progress_sink &sink = {});

// A note of the plan, in the table's words with its names as they are.
std::string note_text(msg what, const std::string &path, const std::string &other,
                      const std::string &why = {});

// The name of a copy named after the map: the map name, then the file
// name's extension (from its last '.' that is not its first byte; the whole
// name when there is none).
std::string named_after_map(const std::string &map_name, const char *file_name);

// Without a textures folder, a BSP that lies in <game>/maps/ tells the
// author's game folder <game>; any other BSP tells none (empty).
std::string game_dir_above_maps(const std::string &bsp_path);

// The path the engine opens for a name a map uses: one leading '/' or '\'
// dropped (FS_FOpenFileRead), so "/sound/x.wav" is sound/x.wav.
std::string engine_path(std::string_view name);
