// Execute's last step: from the checked form to <map>.pk3 in the working
// directory.
#include <cstdio>

#include "mapcrate.h"
#include "minizip/signals.h"

outcome stage_and_pack(form_record *f) {
    signal_cleanup on_signals;
    name_of_dir(f);
    // A tree staged halfway would give a package that looks whole.
    if (outcome staged = creat_dir(f); staged.step != failed_step::none)
        return staged;
    int count = creat_argv(f);
    std::vector<char *> argv = argv_view(f->pack_argv);
    // Packing takes a while: the terminal is the only sign of life.
    std::fflush(stdout);
    outcome packed;
    pk3_dir(count, argv.data(), &packed);
    std::fflush(stdout);
    return packed;
}
