// Execute's second and last steps: the plan of the package and its
// questions, then the staging and the packing.  Neither shows anything.
#pragma once

#include <vector>

#include "report/report.h"
#include "request/pack_run.h"
#include "request/request.h"
#include "valid/field.h"

// Plans the package of the request into run.plan, with its conflicts with
// the player's other pk3s.  Prints nothing.  A stop through sink.cancelled
// marks run.plan cancelled, not to be used.
// The request's added files close the plan, at their game paths.
void plan_form(const pack_request &request, pack_run &run, const progress_sink &sink = {});
// The game path of the first added file that would take the place of
// another entry of the package (case aside, as the game compares paths);
// empty when none does.
std::string added_clash(const pack_request &request, const package_plan &plan);
// Every question Execute asks, in its order: the check's, with the plan's
// about files found nowhere (when the game's files were found), then about
// conflicts with other pk3s, before the game-mode question.
std::vector<report> questions_to_ask(const request_check &check, const package_plan &plan);

// Stages the request's files in a private folder beside the package, lists
// them and packs them; the folder is removed whatever happens, and nothing
// else in the working folder but <map>.pk3 is touched.  The staging's
// progress lines go to sink; the packer prints its own to standard output.
// Returns the staging or packing failure, a report whose what is ok when
// the package was written; one whose what is run_cancelled when
// sink.cancelled stopped it (the older package then stays as it was).
// A SIGINT, SIGTERM or SIGHUP meanwhile removes
// the packer's temporary file and the staging folder and ends the process
// with 128 plus the signal's number.
report stage_and_pack(const pack_request &request, pack_run &run, const progress_sink &sink);
