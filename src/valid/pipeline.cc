// Execute's last step: from the checked form to <map>.pk3 in the working
// directory.
#include <cstdio>

#include "mapcrate.h"

execute_result stage_and_pack(form_record *f) {
    name_of_dir(f);
    // A tree staged halfway would give a package that looks whole.
    if (std::string failed = creat_dir(f); !failed.empty())
        return {failed_step::staging, failed};
    int count = creat_argv(f);
    std::vector<char *> argv = argv_view(f->pack_argv);
    // Packing takes a while: the terminal is the only sign of life.
    std::fflush(stdout);
    int result = pk3_dir(count, argv.data());
    std::fflush(stdout);
    if (result != 0)
        return {failed_step::packing, f->pack_argv[3]};
    return {};
}
