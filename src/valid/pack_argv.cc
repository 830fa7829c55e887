// The packer's argument list: the options, the archive name and the files
// this Execute staged, in the order the archive lists them.
#include "mapcrate.h"

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
    std::string arena = "scripts/";
    str_end_cpy(arena, f->map_name);
    str_end_cpy(arena, ".arena");
    bool arena_listed = false;
    // The arena script comes before the shader scripts, which close the plan.
    for (const planned_file &file : f->plan.files) {
        if (!arena_listed && file.game_path.compare(0, 8, "scripts/") == 0) {
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
