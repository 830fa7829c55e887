// What a map names, and where its textures and shader scripts lie in the
// author's game folder (shared by the staging and the argument-list walk;
// not part of the program's interface).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A name as the game compares it: lower case, '\' read as '/', without the
// extension of its last component.
std::string shader_key(std::string_view name);

// True when the file starts with a compiled level's whole header: "IBSP",
// version 46, and its lump directory.
bool is_compiled_level(const char *bsp_path);

// The shader and fog names of a compiled level ("IBSP" version 46), as
// written (NUL padding cut).  None when the file is not such a level; a
// lump that reaches past the file's end gives none.
std::vector<std::string> bsp_shader_names(const char *bsp_path);

// One shader a script defines: its name and the images its stages draw,
// both as shader_key gives them.
struct shader_def {
    std::string name;
    std::vector<std::string> images;
};
// The shaders of a shader script: the names at brace depth 0, in order.
std::vector<shader_def> parse_shader_script(std::string_view text);

// One folder of a tree: its path and its regular files, in listing order.
struct folder_files {
    std::string path;
    std::vector<std::string> files;
};
// Every folder of the tree at root: each folder, then its sub-folders
// depth-first, in listing order.  A folder reached again through a link is
// not walked twice.
std::vector<folder_files> walk_tree(const std::string &root);

// Where the files of a textures folder go, and which shader scripts the
// map needs.
struct staged_texture {
    std::string source_dir;
    std::string file_name;
    std::string dest_dir; // "textures/" or "textures/<set>/"
};
struct texture_plan {
    std::vector<staged_texture> textures;
    std::string scripts_dir; // the game folder's scripts folder, when found
    std::vector<std::string> shader_files;
};
texture_plan plan_textures(const char *textures_dir, const char *bsp_path);
