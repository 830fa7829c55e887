// Plans a package as Execute does and reports on standard error the
// fastest of RUNS plans in seconds, then the planned, left-out and missing
// counts and the game's entries.
// Usage: plan_bench TEXTURES_DIR BSP [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "level/plan.h"

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: plan_bench TEXTURES_DIR BSP [RUNS]\n");
        return 2;
    }
    int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    double best = 1e9;
    package_plan plan;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        plan = plan_package({argv[1], argv[2], "", "", "bench", ""});
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    std::fprintf(stderr, "%.4f %zu %zu %zu %zu\n", best, plan.files.size(), plan.game_owned.size(),
                 plan.missing.size(), plan.game_file_count);
    return 0;
}
