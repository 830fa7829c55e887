// One run of the game's server, its console driven through pipes.
#pragma once

#include <string>
#include <vector>

struct engine_output {
    bool started = false;  // the program could be run at all
    bool finished = false; // it ended by itself before the time ran out
    // What it printed on standard output and standard error, a line each,
    // colour codes taken out.
    std::vector<std::string> lines;
};

// Runs argv[0] (a path) with argv, in folder dir, and types input on its
// console at once.  When it prints the line sentinel it is told to quit.
// After seconds it is killed (by its own process id) and waited for.
engine_output run_engine(const std::vector<std::string> &argv, const std::string &dir,
                         const std::string &input, const std::string &sentinel, int seconds);
