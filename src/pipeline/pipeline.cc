// Execute's last step: from the checked request to <map>.pk3 in the working
// directory, staged in a private folder beside it.
#include "pipeline/pipeline.h"

#include <cstdio>

#include "minizip/signals.h"
#include "packlist/pack_argv.h"
#include "stage/copy_file.h"
#include "stage/stage.h"
#include "stage/stage_folder.h"

outcome stage_and_pack(const pack_request &request, pack_run &run) {
    signal_cleanup on_signals;
    stage_folder stage;
    if (int err = make_stage_folder(stage))
        return staging_failure(stage_template, err);
    run.stage_dir = stage.path;
    // A tree staged halfway would give a package that looks whole.
    outcome staged = creat_dir(request, run);
    outcome packed = staged;
    if (staged.step == failed_step::none) {
        int count = creat_argv(request, run);
        std::vector<char *> argv = argv_view(run.pack_argv);
        // Packing takes a while: the terminal is the only sign of life.
        std::fflush(stdout);
        pk3_dir(count, argv.data(), &packed, stage.path);
        std::fflush(stdout);
    }
    run.stage_dir.clear();
    return packed;
}
