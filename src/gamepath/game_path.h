// The game's rules for the paths it reads: separators, the last component,
// the case key, extensions, its own archives and its limits.  One home, so
// that the plan, the staging, --check and --verify agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The engine's names fit MAX_QPATH (64) bytes with their NUL: it refuses a
// longer model, sound or image name, and cuts a script's "scripts/<name>".
constexpr std::size_t game_path_limit = 64;
// The longest map name a client can ask a server for as "baseoa/<name>.pk3".
constexpr std::size_t map_name_limit = 52;
// A shader script larger than this is not read: no game's script is near it.
constexpr std::uint64_t shader_script_limit = 16u << 20;

// '\' and '/' both end a component where the game or the system reads a path.
bool is_separator(char c);
// Appends src to dest with '\' written as '/'.
void str_end_cpy(std::string &dest, std::string_view src);
// The name as written, '\' read as '/'.
std::string forward_slashes(std::string_view name);
// The name with its ASCII capitals in lower case, as the game compares paths.
std::string lower_case(std::string_view name);
// A game path as the game compares it: lower case, '\' read as '/'.
std::string path_key(std::string_view name);
// A name as the game compares shaders: its path key without the extension of
// its last component.
std::string shader_key(std::string_view name);

// True when a and b are the same name, case aside (as the game's folders
// and map names are compared).
bool same_blind(const std::string &a, const std::string &b);
// True when name ends in tail, ASCII case aside.
bool ends_with_blind(const std::string &name, const char *tail);
// The extension of the last component, dot included, in lower case; empty
// when that component has no dot.
std::string extension(const std::string &path);
// A name directly in folder (no further '/') ending in ext, with a name
// before ext; case aside.
bool in_folder(const std::string &name, const char *folder, const char *ext);
// scripts/<name>.shader, lower case: a script the game lists.
bool is_shader_script(const std::string &key);
// pak*.pk3, lower case: one of the game's own archives.
bool is_game_pak(const std::string &lower_name);
// A note at a package's root, lower case: a file outside any folder with no
// extension or a text, Markdown, HTML, PDF, RTF or settings one (credits, a
// readme, a licence).  Such notes are for people: the game reads none of
// them, so one hiding another's changes nothing players see.
bool is_root_note(const std::string &lower);

// The last component of path (after its last '\\' or '/'): a pointer into path.
const char *get_file_name(const char *path);
// path cut before its last separator ('\\' or '/'); separators inside are kept.
std::string get_dir_name(const char *path);
// path up to and with its last '/' ('\' is no separator); empty when none.
std::string dir_part(const std::string &path);
// What follows the last '/' of path ('\' is no separator); all of it when none.
std::string file_of(const std::string &path);
// The components of path, split at '\' and '/', empty ones left out.
std::vector<std::string> path_parts(std::string_view path);
// The last component of a folder's path, its closing '/'s left out; empty
// when the path is empty or only '/'s.
std::string last_component(const std::string &path);
