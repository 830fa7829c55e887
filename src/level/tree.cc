#include "level/tree.h"

#include <sys/stat.h>

#include <set>
#include <utility>

#include "io/io.h"

namespace {

using folder_id = std::pair<dev_t, ino_t>;

void walk(const std::string &path, dev_t device, std::set<folder_id> &seen,
          std::vector<folder_files> &out) {
    struct stat self;
    std::vector<std::string> names; // listed whole: one listing open at a time
    if (stat(path.c_str(), &self) != 0 || self.st_dev != device ||
        !seen.insert({self.st_dev, self.st_ino}).second || !folder_names(path, names))
        return;
    folder_files here{path, {}};
    std::vector<std::string> folders;
    for (std::string &name : names) {
        std::string entry = join_path(path, name);
        struct stat st;
        if (stat(entry.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            folders.push_back(std::move(entry));
        else
            here.files.push_back(std::move(name));
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
