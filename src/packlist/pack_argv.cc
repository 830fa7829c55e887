// The packer's argument list: the options, the archive name and the files
// this Execute staged, in the order the archive lists them.
#include "packlist/pack_argv.h"

#include <algorithm>

#include "gamepath/game_path.h"

int creat_argv(const pack_request &request, pack_run &run) {
    std::vector<std::string> &args = run.pack_argv;
    args.clear();
    args.push_back("Mapcrate.exe");
    args.push_back("-o");
    args.push_back("-9");
    std::string archive;
    // The packer reads any element beginning with '-' as options.
    if (request.map_name.compare(0, 1, "-") == 0)
        archive = "./";
    str_end_cpy(archive, request.map_name);
    str_end_cpy(archive, ".pk3");
    args.push_back(std::move(archive));
    std::string arena = "scripts/";
    str_end_cpy(arena, request.map_name);
    str_end_cpy(arena, ".arena");
    bool arena_listed = false;
    // The arena script comes before the shader scripts, which close the
    // level's plan, and before the added files after them.
    const std::vector<planned_file> &files = run.plan.files;
    const size_t own = files.size() - std::min(files.size(), request.added.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const planned_file &file = files[i];
        if (!arena_listed && (i >= own || file.game_path.compare(0, 8, "scripts/") == 0)) {
            args.push_back(arena);
            arena_listed = true;
        }
        args.push_back(file.game_path);
    }
    if (!arena_listed)
        args.push_back(arena);
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
