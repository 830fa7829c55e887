// The staging tree: the folders in the private staging folder and the
// copies of the user's files, named as the archive wants them.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "gamepath/game_path.h"
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

// What the walk of one staging needs: where it stages, the folders made so
// far and where its progress lines go.
struct staging_walk {
    const std::string &stage;
    std::string map_prefix;
    const progress_sink &sink;
    std::set<std::string> made;
};

// Copies what source_fd reads to dest_dir/dest_name under the stage, after
// the progress lines.  The names keep their bytes: on this system a
// backslash is part of a file name, not a separator.
report stage_copy(int source_fd, const struct stat &source, const char *src_dir,
                  const std::string &dest_dir, const char *file_name, const std::string &dest_name,
                  staging_walk &walk) {
    report line = report_of(msg::stage_copy, step_id::staging, file_name);
    line.other = walk.map_prefix + dest_dir;
    send(walk.sink, line);
    send(walk.sink, report_of(msg::stage_copy_command, step_id::staging,
                              command_line(src_dir, file_name, dest_dir.c_str(), dest_name)));
    std::string dest = dest_dir + dest_name;
    int err = copy_file(source_fd, source, (walk.stage + dest).c_str(), walk.sink);
    if (err == ECANCELED && stop_asked(walk.sink))
        return report_of(msg::run_cancelled, step_id::staging);
    return err == 0 ? report{} : staging_failure(dest, err);
}

// A folder of the staging tree, named by its game path, made once.
report make_dir(const std::string &path, staging_walk &walk) {
    if (!walk.made.insert(path).second)
        return {};
    return make_stage_dir(walk.stage, path, walk.sink);
}

// One planned file, after the folders of its game path.  A file that does
// not open now (gone, or unreadable) fails the staging, named as the source.
report stage_planned(const planned_file &file, staging_walk &walk) {
    if (stop_asked(walk.sink))
        return report_of(msg::run_cancelled, step_id::staging);
    size_t slash = file.game_path.rfind('/');
    std::string dest_dir = file.game_path.substr(0, slash + 1);
    for (size_t at = dest_dir.find('/'); at != std::string::npos; at = dest_dir.find('/', at + 1))
        if (report r = make_dir(dest_dir.substr(0, at + 1), walk); failed(r))
            return r;
    const char *file_name = get_file_name(file.source.c_str());
    // A bare name typed by hand lies in the working directory.
    std::string src_dir =
        file_name == file.source.c_str() ? std::string(".") : get_dir_name(file.source.c_str());
    struct stat st {};
    errno = 0;
    fd_owner src{open_as_file(file.source.c_str(), st)};
    if (src.fd < 0)
        return staging_failure(file.source, errno != 0 ? errno : EINVAL);
    return stage_copy(src.fd, st, src_dir.c_str(), dest_dir, file_name,
                      file.game_path.substr(slash + 1), walk);
}

bool in_scripts_folder(const planned_file &file) {
    return file.game_path.compare(0, 8, "scripts/") == 0;
}

} // namespace

report make_stage_dir(const std::string &stage, const std::string &path,
                      const progress_sink &sink) {
    send(sink, report_of(msg::stage_folder_made, step_id::staging, path));
    int err = make_folder((stage + path).c_str());
    return err == 0 ? report{} : staging_failure(path, err);
}

report creat_dir(const pack_request &request, const pack_run &run, const progress_sink &sink) {
    staging_walk walk{run.stage_dir, request.map_name + '/', sink, {}};
    if (report r = make_dir("maps/", walk); failed(r))
        return r;
    if (!request.textures_dir.empty())
        if (report r = make_dir("textures/", walk); failed(r))
            return r;
    for (const planned_file &file : run.plan.files)
        if (!in_scripts_folder(file))
            if (report r = stage_planned(file, walk); failed(r))
                return r;
    if (report r = gener_scripts(request, run, sink); failed(r))
        return r;
    walk.made.insert("scripts/");
    for (const planned_file &file : run.plan.files)
        if (in_scripts_folder(file))
            if (report r = stage_planned(file, walk); failed(r))
                return r;
    return {};
}
