// Execute's last step: from the checked form to <map>.pk3 in the working
// directory, staged in a private folder beside it.
#include <cstdio>

#include "copy_file.h"
#include "mapcrate.h"
#include "minizip/pk3_dir.h"
#include "minizip/signals.h"
#include "stage_folder.h"
#include "terminal/printer.h"

outcome stage_and_pack(form_record *f) {
    signal_cleanup on_signals;
    stage_folder stage;
    if (int err = make_stage_folder(stage))
        return staging_failure(stage_template, err);
    f->stage_dir = stage.path;
    // A tree staged halfway would give a package that looks whole.
    outcome staged = creat_dir(f);
    outcome packed = staged;
    if (staged.step == failed_step::none) {
        int count = creat_argv(f);
        std::vector<char *> argv = argv_view(f->pack_argv);
        // Packing takes a while: the terminal is the only sign of life.
        std::fflush(stdout);
        progress_sink sink;
        sink.tell = [](const report &r) { print_report(r); };
        report failure;
        pk3_dir(count, argv.data(), sink, &failure, stage.path);
        if (failed(failure))
            packed = {failed_step::packing, failure.path, failure.why};
        std::fflush(stdout);
    }
    f->stage_dir.clear();
    return packed;
}
