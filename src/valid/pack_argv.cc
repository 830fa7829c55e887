// The packer's argument list: the options, the archive name and every
// file of the staging tree, in the order the archive lists them.
#include <dirent.h>
#include <unistd.h>

#include <cstring>

#include "copy_file.h"
#include "map_textures.h"
#include "mapcrate.h"

namespace {

// Every file at the top of one staging directory, in the listing's order.
// Names are taken as the listing gives them: on this system a backslash
// in a name is part of it, and converting it would name a file that is not
// there.
void list_staged_files(const std::string &staging_dir, std::vector<std::string> &args) {
    DIR *d = opendir(staging_dir.c_str());
    if (!d)
        return;
    while (dirent *e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        std::string path = staging_dir;
        path += e->d_name;
        struct stat st;
        int fd = open_as_file(path.c_str(), st);
        if (fd < 0)
            continue;
        close(fd);
        args.push_back(std::move(path));
    }
    closedir(d);
}

} // namespace

int creat_argv(form_record *f) {
    std::vector<std::string> &args = f->pack_argv;
    args.clear();
    args.push_back("Mapcrate.exe");
    args.push_back("-o");
    args.push_back("-9");
    std::string archive;
    // The packer reads any element beginning with '-' as options.
    if (f->map_name[0] == '-')
        archive = "./";
    str_end_cpy(archive, f->map_name);
    str_end_cpy(archive, ".pk3");
    args.push_back(std::move(archive));
    // The sets' folders under textures/, each after its parent's files.
    if (f->textures_dir[0] != '\0')
        for (const folder_files &folder : walk_tree(f->textures_staging_dir))
            for (const std::string &file : folder.files)
                args.push_back(folder.path + (folder.path.back() == '/' ? "" : "/") + file);
    if (f->bsp_path[0] != '\0')
        list_staged_files(f->maps_staging_dir, args);
    if (f->levelshot_path[0] != '\0')
        list_staged_files(f->levelshots_staging_dir, args);
    list_staged_files(f->scripts_staging_dir, args);
    args.push_back("mapcrate");
    return static_cast<int>(args.size());
}

std::vector<char *> argv_view(std::vector<std::string> &args) {
    std::vector<char *> view;
    view.reserve(args.size() + 1);
    for (std::string &a : args)
        view.push_back(a.data());
    view.push_back(nullptr);
    return view;
}
