// A map pack's arena script: one block per map.
#include "stage/pack_arena.h"

#include "request/map_pack.h"
#include "stage/stage.h"

std::string package_arena_text(const pack_request &request) {
    if (!is_map_pack(request))
        return arena_text(request);
    std::string text;
    pack_request one = request;
    for (const std::string &bsp : request.bsp_paths) {
        one.map_name = map_name_of_bsp(bsp);
        text += arena_text(one);
    }
    return text;
}
