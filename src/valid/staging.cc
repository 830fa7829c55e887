// The staging tree: the directories in the working directory and the
// copies of the user's files, named as the archive wants them.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "copy_file.h"
#include "map_textures.h"
#include "mapcrate.h"

namespace {

// The extension rule of the copies named after the map: from the last '.'
// that is not the first byte, else the whole name.
const char *extension_of(const char *file_name) {
    size_t n = std::strlen(file_name);
    for (size_t pos = n; pos > 0; --pos)
        if (file_name[pos] == '.')
            return file_name + pos;
    return file_name;
}

std::string destination_name(const std::string &map_prefix, const char *file_name, int rename) {
    if (!rename)
        return file_name;
    std::string name(map_prefix, 0, map_prefix.empty() ? 0 : map_prefix.size() - 1);
    name += extension_of(file_name);
    return name;
}

// The command line the progress line shows; it is never run.
std::string command_line(const char *src_dir, const char *file_name, const char *dest_dir,
                         const std::string &dest_name) {
    std::string cmd;
    for (std::string_view piece :
         {std::string_view("cp \""), std::string_view(src_dir), std::string_view("\\"),
          std::string_view(file_name), std::string_view("\" \""), std::string_view(dest_dir),
          std::string_view(dest_name), std::string_view("\"")})
        str_end_cpy(cmd, piece);
    return cmd;
}

// Copies what source_fd reads to dest_dir under its staged name, after
// the progress line.  Copies named after the map land where the command
// line says; the others keep the name's bytes, since on this system a
// backslash is part of a file name, not a separator.  Returns the
// destination when the copy failed.
std::string stage_copy(int source_fd, const struct stat &source, const char *src_dir,
                       const std::string &map_prefix, const char *dest_dir, const char *file_name,
                       int rename) {
    std::string dest_name = destination_name(map_prefix, file_name, rename);
    std::string cmd = command_line(src_dir, file_name, dest_dir, dest_name);
    std::printf("Copie du fichier %s vers le dossier : %s%s\n :%s\n\n", file_name,
                map_prefix.c_str(), dest_dir, cmd.c_str());
    std::fflush(stdout);
    std::string dest = dest_dir;
    if (rename)
        str_end_cpy(dest, dest_name);
    else
        dest += dest_name;
    int err = source_fd < 0 ? ENOENT : copy_file(source_fd, source, dest.c_str());
    if (err == 0)
        return std::string();
    std::fprintf(stderr, "copie impossible vers %s : %s\n", dest.c_str(), std::strerror(err));
    std::fflush(stderr);
    return dest;
}

// A folder of the staging tree, new or left by an earlier Execute.
bool make_dir(const std::string &path) {
    std::printf("Creation du dossier : %s\n\n", path.c_str());
    std::fflush(stdout);
    int err = make_folder(path.c_str());
    if (err == 0)
        return true;
    std::fprintf(stderr, "creation impossible du dossier %s : %s\n", path.c_str(),
                 std::strerror(err));
    std::fflush(stderr);
    return false;
}

// A BSP, AAS or levelshot, copied under the map's name.  Validation found
// it a readable file a moment ago: if it is gone now, the copy failed.
std::string stage_named_file(const char *path, const std::string &map_prefix,
                             const char *dest_dir) {
    struct stat st {};
    fd_owner src{open_as_file(path, st)};
    const char *file_name = get_file_name(path);
    // A bare name typed by hand lies in the working directory.
    std::string dir = file_name == path ? std::string(".") : get_dir_name(path);
    return stage_copy(src.fd, st, dir.c_str(), map_prefix, dest_dir, file_name, 1);
}

// The textures folder's files, each in the set folder the map names it
// under; the folders of the sets are made as they are first needed.
std::string stage_textures(const texture_plan &plan, const std::string &map_prefix) {
    std::set<std::string> made{"textures/"};
    for (const staged_texture &t : plan.textures) {
        for (size_t at = t.dest_dir.find('/'); at != std::string::npos;
             at = t.dest_dir.find('/', at + 1)) {
            std::string folder = t.dest_dir.substr(0, at + 1);
            if (made.insert(folder).second && !make_dir(folder))
                return folder;
        }
        std::string path = t.source_dir + "/" + t.file_name;
        struct stat st;
        fd_owner src{open_as_file(path.c_str(), st)};
        // Gone since the listing: nothing left to stage.
        if (src.fd < 0)
            continue;
        std::string failed = stage_copy(src.fd, st, t.source_dir.c_str(), map_prefix,
                                        t.dest_dir.c_str(), t.file_name.c_str(), 0);
        if (!failed.empty())
            return failed;
    }
    return std::string();
}

} // namespace

std::string cp_file_in_dir(const char *src_dir, const std::string &map_prefix, const char *dest_dir,
                           const char *file_name, int rename) {
    std::string source = src_dir;
    source += '/';
    source += file_name;
    struct stat st {};
    fd_owner src{open_as_file(source.c_str(), st)};
    return stage_copy(src.fd, st, src_dir, map_prefix, dest_dir, file_name, rename);
}

std::string creat_dir(form_record *f) {
    f->map_prefix = f->map_name;
    f->map_prefix += '/';
    if (!make_dir("maps/"))
        return "maps/";
    texture_plan plan;
    if (f->textures_dir[0] != '\0') {
        if (!make_dir("textures/"))
            return "textures/";
        plan = plan_textures(f->textures_dir, f->bsp_path);
        if (std::string failed = stage_textures(plan, f->map_prefix); !failed.empty())
            return failed;
    }
    const char *named[][2] = {
        {f->bsp_path, "maps/"}, {f->aas_path, "maps/"}, {f->levelshot_path, "levelshots/"}};
    for (const auto &[path, dest_dir] : named) {
        if (path[0] == '\0')
            continue;
        if (std::strcmp(dest_dir, "levelshots/") == 0 && !make_dir(dest_dir))
            return dest_dir;
        if (std::string failed = stage_named_file(path, f->map_prefix, dest_dir); !failed.empty())
            return failed;
    }
    if (std::string failed = gener_scripts(f); !failed.empty())
        return failed;
    for (const std::string &file : plan.shader_files)
        if (std::string failed = cp_file_in_dir(plan.scripts_dir.c_str(), f->map_prefix, "scripts/",
                                                file.c_str(), 0);
            !failed.empty())
            return failed;
    return std::string();
}
