// The package plan of the captured form, what the terminal tells of it, and
// the question about the files found nowhere.
#include <cstdio>

#include "mapcrate.h"

void plan_form(form_record *f) {
    f->plan = plan_package(
        {f->textures_dir, f->bsp_path, f->aas_path, f->levelshot_path, f->map_name, f->game_dir});
}

// A line of the program's ISO-8859-1 text around names as they are: what
// reads as UTF-8 is kept, any other byte is read as ISO-8859-1.
static std::string as_utf8(const std::string &line) {
    std::string out;
    for (size_t at = 0; at < line.size();) {
        const char *p = line.data() + at;
        gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(line.size() - at));
        if (static_cast<unsigned char>(*p) >= 0x80 && (c == gunichar(-1) || c == gunichar(-2))) {
            char utf8[6];
            out.append(utf8, g_unichar_to_utf8(static_cast<unsigned char>(*p), utf8));
            ++at;
            continue;
        }
        size_t n = static_cast<size_t>(g_utf8_next_char(p) - p);
        out.append(p, n);
        at += n;
    }
    return out;
}

void print_plan(const package_plan &plan, const char *line_end) {
    if (plan.game_found)
        std::printf("Fichiers du jeu : %s (%zu fichiers)%s", plan.game_dir.c_str(),
                    plan.game_file_count, line_end);
    else
        std::printf("Fichiers du jeu introuvables : rien n'est exclu%s", line_end);
    for (const std::string &path : plan.game_owned)
        std::printf("Deja dans le jeu : %s%s", path.c_str(), line_end);
    for (const std::string &path : plan.missing)
        std::printf("Introuvable : %s%s", path.c_str(), line_end);
    for (const std::string &note : plan.notes)
        std::printf("%s%s", as_utf8(note).c_str(), line_end);
    std::fflush(stdout);
}

std::string missing_files_question(const std::vector<std::string> &missing) {
    constexpr size_t shown = 10;
    std::string text =
        "La map utilise des fichiers qui ne sont ni dans le dossier du jeu ni dans le jeu :\n";
    for (size_t i = 0; i < missing.size() && i < shown; ++i)
        text += latin1_path(missing[i]) + "\n";
    if (missing.size() > shown)
        text += "... et " + std::to_string(missing.size() - shown) + " autres\n";
    return text + "Dans le jeu, une texture manquante est remplac\xe9"
                  "e par une grille blanche et un son manquant reste muet.";
}

std::vector<question> questions_to_ask(const request_check &check, const package_plan &plan) {
    std::vector<question> questions = check.questions;
    if (plan.game_found && !plan.missing.empty()) {
        auto at = questions.begin();
        while (at != questions.end() && at->kind != question_kind::no_game_mode)
            ++at;
        questions.insert(at, {question_kind::missing_files, missing_files_question(plan.missing)});
    }
    return questions;
}
