// Execute's last step: from the checked request to <map>.pk3 in the working
// directory, staged in a private folder beside it.
#include "pipeline/pipeline.h"

#include <cstdio>

#include "minizip/pk3_dir.h"
#include "minizip/signals.h"
#include "packlist/pack_argv.h"
#include "stage/copy_file.h"
#include "stage/stage.h"
#include "stage/stage_folder.h"

namespace {

// The packer's list of the staged tree, packed from the staging folder.
report pack_staged(const pack_request &request, pack_run &run, const progress_sink &sink) {
    int count = creat_argv(request, run);
    std::vector<char *> argv = argv_view(run.pack_argv);
    // Packing takes a while: the terminal is the only sign of life.
    std::fflush(stdout);
    report failure;
    pk3_dir(count, argv.data(), sink, &failure, run.stage_dir);
    std::fflush(stdout);
    if (!failed(failure) || failure.what == msg::run_cancelled)
        return failure;
    // The front ends tell every packing failure in one sentence.
    failure.what = msg::packing_failed;
    return failure;
}

} // namespace

report stage_and_pack(const pack_request &request, pack_run &run, const progress_sink &sink) {
    signal_cleanup on_signals;
    // The levelshot the game made for this package goes with it.
    set_signal_extra(run.new_shot.empty() ? nullptr : run.new_shot.c_str());
    struct extra_forgotten {
        ~extra_forgotten() { set_signal_extra(nullptr); }
    } forget;
    stage_folder stage;
    if (int err = make_stage_folder(stage))
        return staging_failure(stage_template, err);
    run.stage_dir = stage.path;
    // A tree staged halfway would give a package that looks whole.
    report result = creat_dir(request, run, sink);
    if (!failed(result))
        result = pack_staged(request, run, sink);
    run.stage_dir.clear();
    return result;
}
