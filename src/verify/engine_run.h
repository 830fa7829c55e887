// One run of the game's server, its console driven through pipes.
#pragma once

#include <string>
#include <vector>

struct engine_output {
    bool started = false;  // the program could be run at all
    bool finished = false; // it ended by itself before the time ran out
    int signal = 0;        // the signal it ended on, when it ended by itself
    // What it printed on standard output and standard error, a line each,
    // colour codes taken out.
    std::vector<std::string> lines;
};

// Runs argv[0] (an absolute path) with argv, in folder dir, in a process
// group of its own, and types input on its console at once.  When it prints
// the line sentinel it is told to quit.  After seconds, or as soon as a
// stop_signals notes a signal, its group is killed and it is waited for.
engine_output run_engine(const std::vector<std::string> &argv, const std::string &dir,
                         const std::string &input, const std::string &sentinel, int seconds);
