// A map pack's rules and questions: the form's, for the package's name and
// for each map.
#pragma once

#include "request/request.h"
#include "valid/field.h"

// The package's name and each map under the rules of one map: a map name
// that the game could not load refuses its BSP, as does a second BSP of
// the same map, case aside.  A question about a level's files is asked once
// for every map it concerns, naming them; the game-mode question once.
request_check verif_pack(const pack_request &request);
