// The package plan of the request, and the questions about the files found
// nowhere and the other pk3s.
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "gamepath/game_path.h"
#include "level/other_packages.h"
#include "pipeline/pipeline.h"
#include "request/map_pack.h"

void plan_form(const pack_request &request, pack_run &run, const progress_sink &sink) {
    run.plan = plan_package({request.textures_dir, request.bsp_path, request.aas_path,
                             request.levelshot_path, request.map_name, request.game_dir,
                             is_map_pack(request) ? maps_of(request) : std::vector<plan_map>{}},
                            sink);
    // The added files close the plan, and meet the other pk3s as its own do.
    for (const added_file &file : request.added) {
        struct stat st {};
        stat(file.source.c_str(), &st);
        run.plan.files.push_back(
            {file.game_path, file.source, static_cast<std::uint64_t>(st.st_size), "added", {}});
    }
    if (!run.plan.cancelled)
        run.plan.conflicts = plan_conflicts(run.plan, request.map_name, sink);
    // Stopped while the conflicts were looked for: the plan is not to be used.
    run.plan.cancelled = stop_asked(sink);
}

std::string added_clash(const pack_request &request, const package_plan &plan) {
    std::set<std::string> taken = {path_key("scripts/" + request.map_name + ".arena"), "mapcrate"};
    if (request.make_levelshot)
        taken.insert(path_key("levelshots/" + request.map_name + ".jpg"));
    // The added files close the plan.
    size_t own = plan.files.size() - std::min(plan.files.size(), request.added.size());
    for (size_t i = 0; i < own; ++i)
        taken.insert(path_key(plan.files[i].game_path));
    for (const added_file &file : request.added)
        if (taken.count(path_key(file.game_path)))
            return file.game_path;
    return {};
}

std::vector<report> questions_to_ask(const request_check &check, const package_plan &plan) {
    std::vector<report> questions = check.questions;
    auto before_game_mode = [&](msg what, const std::vector<std::string> &names) {
        auto at = std::find_if(questions.begin(), questions.end(), [](const report &q) {
            return q.what == msg::question_no_game_mode;
        });
        report q = report_of(what, step_id::questions);
        q.items = names;
        questions.insert(at, q);
    };
    if (plan.game_found && !plan.missing.empty())
        before_game_mode(msg::question_missing_files, plan.missing);
    if (!plan.conflicts.empty())
        before_game_mode(msg::question_conflicts, plan.conflicts);
    return questions;
}
