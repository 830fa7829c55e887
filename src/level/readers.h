// Readers of the files a level uses: the compiled level, its entities,
// MD3 models and shader scripts.  They show nothing and print nothing; a
// count or offset that points past the end of a file gives nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// A name as the game compares it: lower case, '\' read as '/', without the
// extension of its last component.
std::string shader_key(std::string_view name);
// The name with its ASCII capitals in lower case, as the game compares paths.
std::string lower_case(std::string_view name);

// True when the file starts with a compiled level's whole header: "IBSP",
// version 46, and its lump directory.
bool is_compiled_level(const char *bsp_path);

// What a compiled level ("IBSP" version 46) names: its shaders and fogs
// (lumps 1 and 12, NUL padding cut) and its entity text (lump 0).  Empty
// when the file is not such a level; a lump that reaches past the file's
// end gives nothing.
struct level_lumps {
    std::vector<std::string> shaders;
    std::string entities;
};
level_lumps read_level_lumps(const char *bsp_path);
// The same two, from a level's bytes (an archive entry read whole).
bool is_compiled_level_bytes(std::string_view bsp);
level_lumps level_lumps_of_bytes(std::string_view bsp);

// The files the entities name, as written with '\' read as '/': sounds
// (noise, but not a player's "*" sounds), music (the worldspawn's intro and
// loop) and models (model2, and model on anything but misc_model, which the
// compiler builds in; not the level's own "*N" models).
struct entity_files {
    std::vector<std::string> sounds, music, models;
};
entity_files read_entities(std::string_view text);

// The shader names of an MD3 model ("IDP3" version 15), surface by surface.
std::vector<std::string> md3_shader_names(std::string_view model);

// One shader a script defines: its name (as shader_key gives it), the
// images its stages draw and the videos they play, as written; its braced
// text as the game reads it (words in lower case, one blank apart, no
// comment), to tell two definitions apart; script is the game path of the
// script, where the caller knows it.
struct shader_def {
    std::string name;
    std::vector<std::string> images;
    std::vector<std::string> videos;
    std::string body;
    std::string script;
};
// A shader script larger than this is not read: no game's script is near it.
constexpr std::uint64_t shader_script_limit = 16u << 20;

// The shaders of a shader script, in order: each name at brace depth 0
// that a body in braces follows.  With wanted, only the shaders whose
// names it holds, each from its first definition.
std::vector<shader_def>
parse_shader_script(std::string_view text, const std::unordered_set<std::string> *wanted = nullptr);
