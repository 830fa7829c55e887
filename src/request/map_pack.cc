// The maps of a map pack, found from their BSPs.
#include "request/map_pack.h"

#include <sys/stat.h>

#include "gamepath/game_path.h"
#include "level/tree.h"

namespace {

bool is_file(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string map_name_of_bsp(const std::string &bsp_path) {
    std::string file = get_file_name(bsp_path.c_str());
    return file.substr(0, file.size() - named_after_map("", file.c_str()).size());
}

std::vector<plan_map> maps_of(const pack_request &request) {
    std::vector<plan_map> maps;
    for (const std::string &bsp : request.bsp_paths) {
        plan_map map{bsp, {}, {}, map_name_of_bsp(bsp)};
        size_t folder = get_file_name(bsp.c_str()) - bsp.c_str();
        if (std::string aas = bsp.substr(0, folder) + map.map_name + ".aas"; is_file(aas))
            map.aas_path = aas;
        if (std::string game = game_dir_above_maps(bsp); !game.empty())
            for (const char *ext : {".jpg", ".tga", ".png"})
                if (std::string shot = join_path(game, "levelshots/" + map.map_name + ext);
                    map.levelshot_path.empty() && is_file(shot))
                    map.levelshot_path = shot;
        maps.push_back(map);
    }
    return maps;
}
