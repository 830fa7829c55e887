// The steps' lines on standard output: the plan's, and the progress lines
// the staging tells as it goes.  Both front ends print them.
#pragma once

#include "level/plan.h"
#include "report/report.h"

// Tells standard output where the game's files are, what the game already
// ships, what is found nowhere and what other pk3s hold otherwise, each
// line ending in line_end.
void print_plan(const package_plan &plan, const char *line_end = "\n\n");
// A sink that prints each progress line on standard output as it comes.
progress_sink progress_on_stdout();
