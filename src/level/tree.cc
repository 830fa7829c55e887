#include "level/tree.h"

#include <sys/stat.h>

#include <cstring>
#include <set>
#include <utility>

#include "io/io.h"

namespace {

using folder_id = std::pair<dev_t, ino_t>;

void walk(const std::string &path, dev_t device, std::set<folder_id> &seen,
          std::vector<folder_files> &out) {
    struct stat self;
    if (stat(path.c_str(), &self) != 0 || self.st_dev != device ||
        !seen.insert({self.st_dev, self.st_ino}).second)
        return;
    folder_files here{path, {}};
    std::vector<std::string> folders;
    {
        // Closed before the sub-folders are walked: one listing open at a time.
        dir_owner listing{opendir(path.c_str())};
        if (!listing.d)
            return;
        while (dirent *e = readdir(listing.d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
                continue;
            std::string entry = join_path(path, e->d_name);
            struct stat st;
            if (stat(entry.c_str(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode))
                folders.push_back(std::move(entry));
            else
                here.files.push_back(e->d_name);
        }
    }
    out.push_back(std::move(here));
    for (const std::string &folder : folders)
        walk(folder, device, seen, out);
}

} // namespace

std::string join_path(const std::string &dir, const std::string &name) {
    if (dir.empty() || dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

std::vector<folder_files> walk_tree(const std::string &root) {
    std::vector<folder_files> out;
    std::set<folder_id> seen;
    struct stat st;
    if (stat(root.c_str(), &st) == 0)
        walk(root, st.st_dev, seen, out);
    return out;
}
