// The arena script of the package: the one map's, or a block per map of a
// map pack.
#pragma once

#include <string>

#include "request/request.h"

// The text of scripts/<name>.arena: arena_text of the request, or for a map
// pack arena_text of each map in turn, the request's other values kept.
std::string package_arena_text(const pack_request &request);
