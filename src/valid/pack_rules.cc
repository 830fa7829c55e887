// A map pack's rules, from the one map's: each map checked as a package of
// its own, its questions gathered by kind.
#include "valid/pack_rules.h"

#include <set>
#include <utility>

#include "gamepath/game_path.h"
#include "request/map_pack.h"

namespace {

// The map pack's question for each of the one map's questions about its files.
const std::pair<msg, msg> pack_questions[] = {
    {msg::question_bsp_not_level, msg::question_pack_bsp_not_level},
    {msg::question_aas_not_navigation, msg::question_pack_aas_not_navigation},
    {msg::question_aas_for_another_bsp, msg::question_pack_aas_for_another_bsp},
    {msg::question_levelshot_not_128_jpeg, msg::question_pack_levelshot_not_128_jpeg},
};

} // namespace

request_check verif_pack(const pack_request &request) {
    request_check check;
    std::vector<report> asked;
    for (const auto &[one_map, pack] : pack_questions)
        asked.push_back(report_of(pack, step_id::questions));
    std::set<std::string> names;
    pack_request one = request;
    one.bsp_paths.clear();
    request_check own;
    for (const plan_map &map : maps_of(request)) {
        one.bsp_path = map.bsp_path;
        one.aas_path = map.aas_path;
        one.levelshot_path = map.levelshot_path;
        // The files and the package's name, then the map's name, which the
        // author's own arena script must name.
        one.map_name = request.map_name;
        one.arena_path.clear();
        if (check = verif_field(one); failed(check.refused))
            return check;
        one.map_name = map.map_name;
        one.arena_path = request.arena_path;
        own = verif_field(one);
        msg what = own.refused.what;
        if (what == msg::rule_map_name_unloadable || what == msg::rule_mandatory_missing)
            own.refused = report_of(msg::rule_pack_bsp_name, step_id::form, map.bsp_path);
        else if (!failed(own.refused) && !names.insert(lower_case(map.map_name)).second)
            own.refused = report_of(msg::rule_pack_same_map, step_id::form, map.bsp_path);
        if (failed(own.refused))
            return own;
        for (const report &q : own.questions)
            for (size_t i = 0; i < std::size(pack_questions); ++i)
                if (q.what == pack_questions[i].first)
                    asked[i].items.push_back(map.map_name);
    }
    // The game-mode question, when asked, is the last of the last map's.
    std::vector<report> questions;
    for (const report &q : asked)
        if (!q.items.empty())
            questions.push_back(q);
    if (!own.questions.empty() && own.questions.back().what == msg::question_no_game_mode)
        questions.push_back(own.questions.back());
    check.questions = questions;
    return check;
}
