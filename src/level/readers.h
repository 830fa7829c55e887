// Readers of the files a level uses: the compiled level, its entities,
// MD3 models and shader scripts.  They show nothing and print nothing; a
// count or offset that points past the end of a file gives nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "gamepath/game_path.h"
#include "report/report.h"

// The files the entities name, as written with '\\' read as '/', each
// once: sounds (noise, but not a player's "*" sounds), music (the
// worldspawn's intro and loop) and models (model2, and model on anything but
// misc_model, which the compiler builds in; not the level's own "*N" models).
// Beside each list, the entity that named each first: its classname ("-"
// when it has none) and the key, as written, one blank apart.
struct entity_files {
    std::vector<std::string> sounds, music, models;
    std::vector<std::string> sounds_by, music_by, models_by;
};

// Bounds on what the readers keep of a level, whatever its size: the game
// registers at most 256 models and 256 sounds, reads a key or a value of at
// most 1024 bytes, and no compiler writes thousands of shaders.
constexpr std::size_t entity_names_limit = 4096; // distinct names of each kind
constexpr std::size_t entity_word_limit = 1024;  // bytes of a key or value kept
constexpr std::size_t level_names_limit = 65536; // shader and fog names

// The entity text read as it passes, a piece at a time; a NUL ends it.
struct entity_reader {
    entity_files files;
    std::vector<std::pair<std::string, std::string>> block; // its pairs the reader uses
    std::unordered_set<std::string> named;                  // the kind's index, then the name
    std::string key, word;
    bool inside = false, quoted = false, have_key = false, ended = false;
};
void read_entities_piece(entity_reader &reader, std::string_view piece);
entity_files read_entities(std::string_view text);

// What a compiled level ("IBSP" version 46) names: its shaders and fogs
// (lumps 1 and 12, NUL padding cut) and what its entity text (lump 0)
// names.  refused says why the game would not load it (ISO-8859-1): a
// lump outside the file, or one whose size is not a whole number of its
// records; empty when it would, or when the file is no such level (then
// compiled is false).
struct level_lumps {
    bool compiled = false;
    std::vector<std::string> shaders;
    entity_files entities;
    std::string refused;
};

// A level read as its bytes pass, in order, a piece at a time: its header
// first, then the lumps it needs as the stream reaches them, whatever their
// order or overlap.  Holds the header, the names and the entity reader's
// state, never the level.
struct level_reader {
    std::string header;
    std::uint64_t seen = 0;
    std::string names[2]; // the shader and fog lumps' bytes, up to the names' limit
    entity_reader entities;
};
void read_level_piece(level_reader &reader, std::string_view piece);
// After the last piece: what the level names, and whether the game reads it.
level_lumps finish_level(level_reader &reader);

// True when the file starts with a compiled level's whole header: "IBSP",
// version 46, and its lump directory.
bool is_compiled_level(const char *bsp_path);
// The level at bsp_path, read through a level_reader; sink.cancelled is
// asked between pieces.
level_lumps read_level_lumps(const char *bsp_path, const progress_sink &sink = {});

// The shader names of an MD3 model ("IDP3" version 15), surface by surface.
std::vector<std::string> md3_shader_names(std::string_view model);

// One shader a script defines: its name (as shader_key gives it), the
// images its stages draw and the videos they play, as written; its braced
// text as the game reads it (words in lower case, one blank apart, no
// comment) hashed, to tell two definitions apart; script is the game path
// of the script, where the caller knows it; sky tells, image by image,
// those that are a sky box's sides (skyParms) rather than a stage's.
struct shader_def {
    std::string name;
    std::vector<std::string> images;
    std::vector<std::string> videos;
    std::uint64_t body = 0;
    std::string script;
    std::vector<bool> sky;
};

// The shaders of a shader script, in order, each from its first
// definition: each name at brace depth 0 that a body in braces follows.
// With wanted, only the shaders whose names it holds.
std::vector<shader_def>
parse_shader_script(std::string_view text, const std::unordered_set<std::string> *wanted = nullptr);
// The names of the shaders a script defines, added to names: a pass that
// keeps nothing else, to learn which definitions are worth keeping.
void shader_names(std::string_view text, std::unordered_set<std::string> &names);
