// The package plan of the captured form, what the terminal tells of it, and
// the questions about the files found nowhere and the other pk3s.
#include <algorithm>
#include <cstdio>

#include "level/other_packages.h"
#include "mapcrate.h"

namespace {

// At most ten lines, then how many more, each line ending in a line feed.
std::string first_ten(const std::vector<std::string> &lines) {
    constexpr size_t listed = 10;
    std::string text;
    for (size_t i = 0; i < lines.size() && i < listed; ++i)
        text += latin1_path(shown(lines[i])) + "\n";
    if (lines.size() > listed)
        text += "... et " + std::to_string(lines.size() - listed) + " autres\n";
    return text;
}

} // namespace

void plan_form(form_record *f) {
    f->plan = plan_package(
        {f->textures_dir, f->bsp_path, f->aas_path, f->levelshot_path, f->map_name, f->game_dir});
    f->plan.conflicts = plan_conflicts(f->plan, f->map_name);
}

// A line of the program's ISO-8859-1 text around names as they are: what
// reads as UTF-8 is kept, any other byte is read as ISO-8859-1.
std::string as_utf8(const std::string &line) {
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

std::string missing_files_question(const std::vector<std::string> &missing) {
    return "La map utilise des fichiers qui ne sont ni dans le dossier du jeu ni dans le jeu :\n" +
           first_ten(missing) +
           "Dans le jeu, une texture manquante est remplac\xe9"
           "e par une grille blanche et un son manquant reste muet.";
}

std::string conflicts_question(const std::vector<std::string> &conflicts) {
    return "Le pk3 entre en conflit avec d'autres pk3 du jeu :\n" + first_ten(conflicts) +
           "Dans le jeu, un seul des deux fichiers est utilis\xe9, selon l'ordre des noms des pk3.";
}

std::vector<question> questions_to_ask(const request_check &check, const package_plan &plan) {
    std::vector<question> questions = check.questions;
    auto before_game_mode = [&](question_kind kind, std::string text) {
        auto at = std::find_if(questions.begin(), questions.end(), [](const question &q) {
            return q.kind == question_kind::no_game_mode;
        });
        questions.insert(at, {kind, std::move(text)});
    };
    if (plan.game_found && !plan.missing.empty())
        before_game_mode(question_kind::missing_files, missing_files_question(plan.missing));
    if (!plan.conflicts.empty())
        before_game_mode(question_kind::conflicts, conflicts_question(plan.conflicts));
    return questions;
}
