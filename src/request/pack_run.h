// What one run of the steps builds from a request: the plan, the private
// folder it stages in and the packer's list.  Plain values, owned here.
#pragma once

#include <string>
#include <vector>

#include "level/plan.h"

struct pack_run {
    // What the run stages and packs, planned by plan_form.
    package_plan plan;
    // The private folder the run stages in, with its closing '/'; empty
    // outside stage_and_pack (creat_dir then stages in the working folder,
    // as the staging benchmark wants).
    std::string stage_dir;
    // The packer's argument list, from creat_argv.
    std::vector<std::string> pack_argv;
    // The levelshot the game made, kept beside the package, when this run
    // added it (none was there): it goes again if the package is not written.
    std::string new_shot;
};
