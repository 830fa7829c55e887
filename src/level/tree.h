// The walk of a folder tree: the textures folder and the author's game folder.
#pragma once

#include <string>
#include <vector>

// One folder of a tree: its path and its files other than folders
// (readable or not, regular or not: the plan tells of those it cannot
// take), in listing order.
struct folder_files {
    std::string path;
    std::vector<std::string> files;
};
// Every folder of the tree at root: each folder, then its sub-folders
// depth-first, in listing order.  The walk stays on root's file system, and
// a folder reached again through a link is not walked twice.
std::vector<folder_files> walk_tree(const std::string &root);

// dir and name joined by one '/'.
std::string join_path(const std::string &dir, const std::string &name);
