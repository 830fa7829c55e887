// The staging tree: the folders in the private staging folder and the
// copies of the user's files, named as the archive wants them.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "gamepath/game_path.h"
#include "report/shown.h"
#include "stage/copy_file.h"
#include "stage/stage.h"

namespace {

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

// Copies what source_fd reads to dest_dir/dest_name under stage, after the
// progress line.  The names keep their bytes: on this system a backslash
// is part of a file name, not a separator.
outcome stage_copy(int source_fd, const struct stat &source, const char *src_dir,
                   const std::string &map_prefix, const char *dest_dir, const char *file_name,
                   const std::string &dest_name, const std::string &stage) {
    std::string cmd = command_line(src_dir, file_name, dest_dir, dest_name);
    std::printf("Copie du fichier %s vers le dossier : %s%s\n :%s\n\n", shown(file_name).c_str(),
                map_prefix.c_str(), shown(dest_dir).c_str(), shown(cmd).c_str());
    std::fflush(stdout);
    std::string dest = dest_dir + dest_name;
    int err = copy_file(source_fd, source, (stage + dest).c_str());
    return err == 0 ? outcome{} : staging_failure(dest, err);
}

// A folder of the staging tree, named by its game path.
outcome make_dir(const std::string &path, const std::string &stage) {
    std::printf("Creation du dossier : %s\n\n", shown(path).c_str());
    std::fflush(stdout);
    int err = make_folder((stage + path).c_str());
    return err == 0 ? outcome{} : staging_failure(path, err);
}

// One planned file, after the folders of its game path.  A file that does
// not open now (gone, or unreadable) fails the staging, named as the source.
outcome stage_planned(const planned_file &file, const std::string &map_prefix,
                      const std::string &stage, std::set<std::string> &made) {
    size_t slash = file.game_path.rfind('/');
    std::string dest_dir = file.game_path.substr(0, slash + 1);
    for (size_t at = dest_dir.find('/'); at != std::string::npos; at = dest_dir.find('/', at + 1)) {
        std::string folder = dest_dir.substr(0, at + 1);
        if (made.insert(folder).second)
            if (outcome o = make_dir(folder, stage); o.step != failed_step::none)
                return o;
    }
    const char *file_name = get_file_name(file.source.c_str());
    // A bare name typed by hand lies in the working directory.
    std::string src_dir =
        file_name == file.source.c_str() ? std::string(".") : get_dir_name(file.source.c_str());
    struct stat st {};
    errno = 0;
    fd_owner src{open_as_file(file.source.c_str(), st)};
    if (src.fd < 0)
        return staging_failure(file.source, errno != 0 ? errno : EINVAL);
    return stage_copy(src.fd, st, src_dir.c_str(), map_prefix, dest_dir.c_str(), file_name,
                      file.game_path.substr(slash + 1), stage);
}

bool in_scripts_folder(const planned_file &file) {
    return file.game_path.compare(0, 8, "scripts/") == 0;
}

} // namespace

outcome creat_dir(const pack_request &request, const pack_run &run) {
    const std::string map_prefix = request.map_name + '/';
    const std::string &stage = run.stage_dir;
    std::set<std::string> made{"maps/"};
    if (outcome o = make_dir("maps/", stage); o.step != failed_step::none)
        return o;
    if (!request.textures_dir.empty()) {
        made.insert("textures/");
        if (outcome o = make_dir("textures/", stage); o.step != failed_step::none)
            return o;
    }
    for (const planned_file &file : run.plan.files)
        if (!in_scripts_folder(file))
            if (outcome o = stage_planned(file, map_prefix, stage, made);
                o.step != failed_step::none)
                return o;
    if (outcome o = gener_scripts(request, run); o.step != failed_step::none)
        return o;
    made.insert("scripts/");
    for (const planned_file &file : run.plan.files)
        if (in_scripts_folder(file))
            if (outcome o = stage_planned(file, map_prefix, stage, made);
                o.step != failed_step::none)
                return o;
    return {};
}
