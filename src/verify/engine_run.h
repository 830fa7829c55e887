// One run of the game's server or client, its console driven through pipes,
// and what such a run needs around it.
#pragma once

#include <string>
#include <vector>

// True for a regular file this process may run.
bool is_executable_file(const std::string &path);
// The first such name in PATH's folders (an empty entry is the working
// folder), else fallback.
std::string program_on_path(const char *name, const char *fallback);
// The path from the working folder: the game runs in a folder of its own.
std::string absolute_path(const std::string &path);

// A fresh folder <TMPDIR or /tmp>/<prefix>XXXXXX, removed with all it holds
// (links removed, not followed) when this goes; path is empty when it could
// not be made.
struct private_folder {
    std::string path;
    explicit private_folder(const char *prefix);
    ~private_folder();
    private_folder(const private_folder &) = delete;
    private_folder &operator=(const private_folder &) = delete;
};

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
