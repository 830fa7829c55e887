// The plan's lines on the terminal, names as shown() writes them.
#include "terminal/print_plan.h"

#include <cstdio>

#include "report/shown.h"

void print_plan(const package_plan &plan, const char *line_end) {
    if (plan.game_found)
        std::printf("Fichiers du jeu : %s (%zu fichiers)%s", shown(plan.game_dir).c_str(),
                    plan.game_file_count, line_end);
    else
        std::printf("Fichiers du jeu introuvables : rien n'est exclu%s", line_end);
    for (const std::string &path : plan.game_owned)
        std::printf("Deja dans le jeu : %s%s", shown(path).c_str(), line_end);
    for (const std::string &path : plan.missing)
        std::printf("Introuvable : %s%s", shown(path).c_str(), line_end);
    for (const std::string &note : plan.notes)
        std::printf("%s%s", shown(as_utf8(note)).c_str(), line_end);
    for (const std::string &line : plan.conflicts)
        std::printf("%s%s", shown(line).c_str(), line_end);
    std::fflush(stdout);
}
