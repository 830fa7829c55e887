// The staging tree: the directories in the working directory and the
// copies of the user's files, named as the archive wants them.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "copy_file.h"
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
// backslash is part of a file name, not a separator.
void stage_copy(int source_fd, const struct stat &source, const char *src_dir,
                const std::string &map_prefix, const char *dest_dir, const char *file_name,
                int rename) {
    std::string dest_name = destination_name(map_prefix, file_name, rename);
    std::string cmd = command_line(src_dir, file_name, dest_dir, dest_name);
    std::printf("Copie du fichier %s vers le dossier : %s%s\n :%s\n\n", file_name,
                map_prefix.c_str(), dest_dir, cmd.c_str());
    std::fflush(stdout);
    if (source_fd < 0)
        return;
    std::string dest = dest_dir;
    if (rename)
        str_end_cpy(dest, dest_name);
    else
        dest += dest_name;
    if (int err = copy_file(source_fd, source, dest.c_str())) {
        // What the copy command would have said on its own.
        std::fprintf(stderr, "copie impossible vers %s : %s\n", dest.c_str(), std::strerror(err));
        std::fflush(stderr);
    }
}

void make_dir(const char *path) {
    std::printf("Creation du dossier : %s\n\n", path);
    std::fflush(stdout);
    mkdir(path, 0755);
}

// A BSP, AAS or levelshot: copied under the map's name when it is a file.
void stage_named_file(const char *path, const std::string &map_prefix, const char *dest_dir) {
    struct stat st;
    fd_owner src{open_as_file(path, st)};
    if (src.fd < 0)
        return;
    const char *file_name = get_file_name(path);
    // A bare name typed by hand lies in the working directory.
    std::string dir = file_name == path ? std::string(".") : get_dir_name(path);
    stage_copy(src.fd, st, dir.c_str(), map_prefix, dest_dir, file_name, 1);
}

void stage_textures(const char *textures_dir, const std::string &map_prefix) {
    dir_owner listing{opendir(textures_dir)};
    if (!listing.d)
        return;
    while (dirent *e = readdir(listing.d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        std::string path = textures_dir;
        path += '/';
        path += e->d_name;
        // Only the folder's own files: subfolders are neither copied nor entered.
        struct stat st;
        fd_owner src{open_as_file(path.c_str(), st)};
        if (src.fd >= 0)
            stage_copy(src.fd, st, textures_dir, map_prefix, "textures/", e->d_name, 0);
    }
}

} // namespace

void cp_file_in_dir(const char *src_dir, const std::string &map_prefix, const char *dest_dir,
                    const char *file_name, int rename) {
    std::string source = src_dir;
    source += '/';
    source += file_name;
    struct stat st {};
    fd_owner src{open_as_file(source.c_str(), st)};
    stage_copy(src.fd, st, src_dir, map_prefix, dest_dir, file_name, rename);
}

int creat_dir(form_record *f) {
    f->map_prefix = f->map_name;
    f->map_prefix += '/';
    make_dir("maps/");
    if (f->textures_dir[0] != '\0') {
        make_dir("textures/");
        stage_textures(f->textures_dir, f->map_prefix);
    }
    if (f->bsp_path[0] != '\0')
        stage_named_file(f->bsp_path, f->map_prefix, "maps/");
    if (f->aas_path[0] != '\0')
        stage_named_file(f->aas_path, f->map_prefix, "maps/");
    if (f->levelshot_path[0] != '\0') {
        make_dir("levelshots/");
        stage_named_file(f->levelshot_path, f->map_prefix, "levelshots/");
    }
    gener_scripts(f);
    return 1;
}
