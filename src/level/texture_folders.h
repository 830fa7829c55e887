// The textures folder: which of its folders hold the sets a map names, and
// the author's game folder above them (inside src/level only).
#pragma once

#include <map>
#include <string>
#include <vector>

struct folder_info {
    std::string path; // as the chosen folder's path spells it
    std::string real; // resolved, for the names of the folders above
    std::vector<std::string> files;
    std::map<std::string, std::vector<size_t>> by_stem;
};
// Every folder of the textures folder's tree, the chosen one first.
std::vector<folder_info> read_textures_folder(const char *textures_dir);

// The author's game folder, above textures/<set>: from the folder that
// holds most of a set the images name, else from the nearest folder named
// textures on the way to the chosen one.  Empty when there is none.
std::string author_game_dir(const std::vector<folder_info> &folders,
                            const std::vector<std::string> &images);

// A file of the textures folder that stands for an image the map names.
struct texture_file {
    std::string key;       // the image's name as shader_key gives it
    std::string game_path; // textures/<set as the map spells it>/<file name>
    std::string source;
};
// In the walk's order: each name goes to the first folder that bears its
// set's name and holds its file (the chosen folder alone when none bears
// the name).  Names that lead out of textures/ are not taken.
std::vector<texture_file> claimed_textures(const std::vector<folder_info> &folders,
                                           const std::vector<std::string> &images);
