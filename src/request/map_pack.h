// A map pack: several maps in one package, each named after its BSP file,
// with the AAS beside it and the levelshot of its game folder.
#pragma once

#include <string>
#include <vector>

#include "level/plan.h"
#include "request/request.h"

// True when the request packs several maps.
inline bool is_map_pack(const pack_request &request) {
    return request.bsp_paths.size() > 1;
}

// The name of the map a BSP file holds: its file name without its extension.
std::string map_name_of_bsp(const std::string &bsp_path);

// The maps of a map pack, in the order of their BSPs: each map's AAS is
// <map>.aas beside its BSP and its levelshot <game>/levelshots/<map>.jpg,
// .tga or .png when the BSP lies in <game>/maps/, each when it is a file.
std::vector<plan_map> maps_of(const pack_request &request);
