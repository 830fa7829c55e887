// Where a textures folder sits in the author's game folder, and which of
// its files stand for the images a map names.
#include "level/texture_folders.h"

#include <algorithm>
#include <set>
#include <utility>

#include "io/io.h"
#include "level/readers.h"
#include "level/tree.h"

namespace {

// A set's folder path as the archive spells it: no empty, "." or ".."
// part, so that a name in the level cannot lead out of textures/.
bool safe_set(const std::vector<std::string> &parts) {
    for (const std::string &p : parts)
        if (p == "." || p == "..")
            return false;
    return !parts.empty();
}

bool ends_with_parts(const std::vector<std::string> &path, const std::vector<std::string> &tail) {
    if (tail.size() > path.size())
        return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (!same_blind(path[path.size() - tail.size() + i], tail[i]))
            return false;
    return true;
}

// path without its last n parts; "." when nothing is left of a relative path.
std::string drop_parts(const std::string &path, size_t n) {
    size_t end = path.size();
    for (size_t i = 0; i < n; ++i) {
        while (end > 0 && is_separator(path[end - 1]))
            --end;
        while (end > 0 && !is_separator(path[end - 1]))
            --end;
    }
    while (end > 1 && is_separator(path[end - 1]))
        --end;
    if (end == 0)
        return path[0] == '/' ? "/" : ".";
    return path.substr(0, end);
}

struct named_set {
    std::string spelling; // the set's folder as the map first writes it
    std::vector<std::string> parts;
};

struct map_names {
    std::map<std::string, named_set> sets;               // by key
    std::set<std::pair<std::string, std::string>> names; // set key, stem
};

// For each folder, the sets each of its files stands for.
using claims = std::vector<std::map<size_t, std::set<std::string>>>;

void add_name(map_names &m, const std::string &written) {
    std::vector<std::string> parts = path_parts(shader_key(written));
    std::vector<std::string> spelled = path_parts(written);
    if (parts.size() < 3 || parts[0] != "textures" || spelled.size() != parts.size())
        return;
    std::vector<std::string> set(parts.begin() + 1, parts.end() - 1);
    if (!safe_set(set))
        return;
    std::string set_key, spelling;
    for (size_t i = 1; i + 1 < parts.size(); ++i) {
        set_key = join_path(set_key, parts[i]);
        spelling = join_path(spelling, spelled[i]);
    }
    m.sets.insert({set_key, {spelling, set}});
    m.names.insert({set_key, parts.back()});
}

// Each name goes to the files of one folder: the first that bears the
// set's name and holds the name's file.  When no folder bears that name,
// only the chosen folder itself is searched (it may hold several sets'
// images side by side): a sub-folder named for another set does not stand
// for a set the game may well find in its own data.
claims claim(const std::vector<folder_info> &folders, const map_names &m) {
    claims c(folders.size());
    for (const auto &[set_key, stem] : m.names) {
        const named_set &set = m.sets.at(set_key);
        auto bears_name = [&](const folder_info &f) {
            return ends_with_parts(path_parts(f.real), set.parts);
        };
        bool any_bears = std::any_of(folders.begin(), folders.end(), bears_name);
        for (size_t i = 0; i < (any_bears ? folders.size() : std::min<size_t>(1, folders.size()));
             ++i) {
            auto hit = folders[i].by_stem.find(stem);
            if ((any_bears && !bears_name(folders[i])) || hit == folders[i].by_stem.end())
                continue;
            for (size_t file : hit->second)
                c[i][file].insert(set_key);
            break;
        }
    }
    return c;
}

// The set that names most of a folder's files (the first key on a tie).
std::string main_set(const std::map<size_t, std::set<std::string>> &claimed) {
    std::map<std::string, size_t> count;
    for (const auto &file : claimed)
        for (const std::string &set : file.second)
            ++count[set];
    std::string best;
    size_t most = 0;
    for (const auto &[set, n] : count)
        if (n > most)
            best = set, most = n;
    return best;
}

// The folder above the tail parts of a folder's path, spelled as its
// path is when that path shows them; empty when the folder has no such tail.
std::string above(const folder_info &f, const std::vector<std::string> &tail) {
    for (const std::string *path : {&f.path, &f.real})
        if (ends_with_parts(path_parts(*path), tail))
            return drop_parts(*path, tail.size());
    return std::string();
}

// The game folder, above textures/<set>: from a folder the map claims,
// else from the nearest folder named textures on the way to the chosen one.
std::string game_folder(const std::vector<folder_info> &folders, const claims &c,
                        const map_names &m) {
    for (size_t i = 0; i < folders.size(); ++i) {
        if (c[i].empty())
            continue;
        std::vector<std::string> tail = m.sets.at(main_set(c[i])).parts;
        tail.insert(tail.begin(), "textures");
        std::string game = above(folders[i], tail);
        if (!game.empty())
            return game;
    }
    for (const std::string &path : {folders[0].path, folders[0].real}) {
        std::vector<std::string> parts = path_parts(path);
        for (size_t n = parts.size(); n-- > 0;)
            if (same_blind(parts[n], "textures"))
                return drop_parts(path, parts.size() - n);
    }
    return std::string();
}

map_names names_of(const std::vector<std::string> &images) {
    map_names m;
    for (const std::string &image : images)
        add_name(m, image);
    return m;
}

} // namespace

std::vector<folder_info> read_textures_folder(const char *textures_dir) {
    std::vector<folder_info> folders;
    std::string root = textures_dir;
    std::string real_root = real_path(root);
    if (real_root.empty())
        real_root = root;
    for (folder_files &f : walk_tree(root)) {
        folder_info info;
        std::string below = f.path.substr(root.size());
        // A backslash, read as a separator elsewhere, could make ".." of a
        // name: such names answer no name of the map.
        if (below.find('\\') != std::string::npos)
            continue;
        info.real = real_root + below;
        info.path = std::move(f.path);
        info.files = std::move(f.files);
        for (size_t i = 0; i < info.files.size(); ++i)
            if (info.files[i].find('\\') == std::string::npos)
                info.by_stem[shader_key(info.files[i])].push_back(i);
        folders.push_back(std::move(info));
    }
    return folders;
}

std::string author_game_dir(const std::vector<folder_info> &folders,
                            const std::vector<std::string> &images) {
    if (folders.empty())
        return std::string();
    map_names m = names_of(images);
    return game_folder(folders, claim(folders, m), m);
}

std::vector<texture_file> claimed_textures(const std::vector<folder_info> &folders,
                                           const std::vector<std::string> &images) {
    std::vector<texture_file> found;
    map_names m = names_of(images);
    claims c = claim(folders, m);
    for (size_t i = 0; i < folders.size(); ++i)
        for (const auto &[file, sets] : c[i])
            for (const std::string &set : sets) {
                const std::string &name = folders[i].files[file];
                found.push_back({"textures/" + set + "/" + shader_key(name),
                                 "textures/" + m.sets.at(set).spelling + "/" + name,
                                 join_path(folders[i].path, name)});
            }
    return found;
}
