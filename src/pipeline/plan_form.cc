// The package plan of the request, and the questions about the files found
// nowhere and the other pk3s.
#include <algorithm>

#include "level/other_packages.h"
#include "pipeline/pipeline.h"
#include "report/shown.h"

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

void plan_form(const pack_request &request, pack_run &run) {
    run.plan = plan_package({request.textures_dir, request.bsp_path, request.aas_path,
                             request.levelshot_path, request.map_name, request.game_dir});
    run.plan.conflicts = plan_conflicts(run.plan, request.map_name);
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
