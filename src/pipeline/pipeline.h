// Execute's second and last steps: the plan of the package and its
// questions, then the staging and the packing.  Neither shows anything.
#pragma once

#include <string>
#include <vector>

#include "minizip/pk3_dir.h"
#include "request/pack_run.h"
#include "request/request.h"
#include "valid/field.h"

// Plans the package of the request into run.plan, with its conflicts with
// the player's other pk3s.  Prints nothing.
void plan_form(const pack_request &request, pack_run &run);
// The question about the files the map uses that are found nowhere
// (ISO-8859-1): at most ten paths, then how many more.
std::string missing_files_question(const std::vector<std::string> &missing);
// The question about the player's other pk3s that hold the package's game
// paths or define its shaders otherwise (ISO-8859-1): at most ten of the
// plan's conflict lines, then how many more.
std::string conflicts_question(const std::vector<std::string> &conflicts);
// Every question Execute asks, in its order: the check's, with the plan's
// about files found nowhere (when the game's files were found), then about
// conflicts with other pk3s, before the game-mode question.
std::vector<question> questions_to_ask(const request_check &check, const package_plan &plan);

// Stages the request's files in a private folder beside the package, lists
// them and packs them; the folder is removed whatever happens, and nothing
// else in the working folder but <map>.pk3 is touched.  Prints its progress
// lines (and the packer's) to standard output and nothing else of its own.
// A SIGINT, SIGTERM or SIGHUP meanwhile removes the packer's temporary file
// and the staging folder and ends the process with 128 plus the signal's
// number.
outcome stage_and_pack(const pack_request &request, pack_run &run);
