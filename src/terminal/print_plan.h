// The plan's lines on standard output.
#pragma once

#include "level/plan.h"

// Tells standard output where the game's files are, what the game already
// ships, what is found nowhere and what other pk3s hold otherwise, each
// line ending in line_end.
void print_plan(const package_plan &plan, const char *line_end = "\n\n");
