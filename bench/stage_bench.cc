// Stages the bench corpus as Execute does, without a window, and reports
// on standard error: seconds, then the process's peak resident size (KiB).
// Usage: stage_bench stage|pack CORPUS_DIR WORK_DIR
//   stage: the 500 textures only (the plan and creat_dir, scripts included)
//   pack:  textures and the level file, then the argument list and the packer
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "minizip/pk3_dir.h"
#include "packlist/pack_argv.h"
#include "stage/stage.h"
#include "status_kib.h"
#include "terminal/step_lines.h"

int main(int argc, char **argv) {
    if (argc != 4 || (std::strcmp(argv[1], "stage") != 0 && std::strcmp(argv[1], "pack") != 0)) {
        std::fprintf(stderr, "usage: stage_bench stage|pack CORPUS_DIR WORK_DIR\n");
        return 2;
    }
    bool pack = std::strcmp(argv[1], "pack") == 0;
    std::string textures = std::string(argv[2]) + "/textures";
    std::string bsp = pack ? std::string(argv[2]) + "/level.bsp" : std::string();
    if (chdir(argv[3]) != 0) {
        std::perror(argv[3]);
        return 2;
    }
    pack_request request;
    request.textures_dir = textures;
    request.bsp_path = bsp;
    request.map_name = "bench";
    request.description = "Bench map";
    request.modes[0] = true;
    pack_run run;

    auto start = std::chrono::steady_clock::now();
    run.plan = plan_package({textures, bsp, "", "", "bench", ""});
    creat_dir(request, run, progress_on_stdout());
    int result = 0;
    if (pack) {
        int count = creat_argv(request, run);
        std::vector<char *> args = argv_view(run.pack_argv);
        result = pk3_dir(count, args.data(), progress_on_stdout(), nullptr);
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::fflush(stdout);
    std::fprintf(stderr, "%.3f %ld\n", took.count(), status_kib("VmHWM:"));
    return result == 0 ? 0 : 1;
}
