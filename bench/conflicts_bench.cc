// Plans a package as Execute does, the plan and then its conflicts with the
// player's other pk3s, and reports on standard error the fastest of RUNS
// plans in seconds, then the planned files, the other pk3s read and the
// conflict lines.  Standard output lists the planned files ("file", game
// path, source) and the conflict lines ("line", text), tab-separated.
// Usage: conflicts_bench GAME_DIR TEXTURES_DIR BSP [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "level/other_packages.h"
#include "level/plan.h"

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: conflicts_bench GAME_DIR TEXTURES_DIR BSP [RUNS]\n");
        return 2;
    }
    int runs = argc > 4 ? std::atoi(argv[4]) : 5;
    double best = 1e9;
    package_plan plan;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        plan = plan_package({argv[2], argv[3], "", "", "bench", argv[1]});
        plan.conflicts = plan_conflicts(plan, "bench");
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    for (const planned_file &file : plan.files)
        std::printf("file\t%s\t%s\n", file.game_path.c_str(), file.source.c_str());
    for (const std::string &line : plan.conflicts)
        std::printf("line\t%s\n", line.c_str());
    std::fprintf(stderr, "%.4f %zu %zu %zu\n", best, plan.files.size(),
                 read_other_packages(plan.game_dir, "bench").size(), plan.conflicts.size());
    return 0;
}
