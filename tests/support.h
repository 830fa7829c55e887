// Helpers shared by the tests: a fresh working folder, whole files, running
// a program, and reading archives back with unzip and Python's zipfile.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A fresh temporary folder as the working directory, for the scope's life.
struct temp_dir {
    std::string path, old_cwd;
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir &) = delete;
    temp_dir &operator=(const temp_dir &) = delete;
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, std::string_view data); // makes its folders
std::vector<std::string> words(const std::string &text);         // split at blanks
std::vector<std::string> list_dir(const std::string &path);      // sorted

std::string le32(size_t v); // little-endian

// A compiled level's header with no lump (a level that uses nothing), and
// a bot-navigation header computed for it; or either spoiled as asked.
std::string test_bsp(const char *magic = "IBSP", uint32_t version = 46);
// The game's checksum of test_bsp(), worked out apart from the code under test.
constexpr uint32_t test_bsp_sum = 0x3b190263;
std::string test_aas(uint32_t checksum = test_bsp_sum, uint32_t version = 5,
                     const char *magic = "EAAS");
// A JPEG of side x side pixels of one flat tone, in colour or in greys.
std::string jpeg(int side, bool grey = false);

struct run_result {
    int status = -1; // exit status, or 128 + signal number
    std::string out, err;
};
// Starts args[0], searched in PATH, with fds as its standard input, output and error.
pid_t start_program(const std::vector<std::string> &args, const std::vector<int> &fds);
// Runs args[0], searched in PATH, with the given standard input.
run_result run_program(const std::vector<std::string> &args, std::string_view input = {});

struct zip_entry {
    std::string name; // the stored name's raw bytes
    int method = -1;
    uint64_t size = 0;
    int date_time[6] = {}; // year, month, day, hour, minute, second
    int flags = 0;
    std::string data;
};
struct zip_reading {
    bool ok = false;     // zipfile read it and every CRC checked out
    std::string problem; // what zipfile said otherwise
    std::vector<zip_entry> entries;
};
zip_reading read_zip_with_python(const std::string &archive, const std::string &password = "");

// A compiled level's bytes: entity text (lump 0), shader names (lump 1)
// and fog names (lump 12).
std::string level_bytes(const std::vector<std::string> &shaders,
                        const std::vector<std::string> &fogs = {},
                        const std::string &entities = {});
// A model (MD3) of the given surfaces, each naming its shaders.
std::string md3_bytes(const std::vector<std::vector<std::string>> &surfaces);
// A zip of the given entries (name, then data), deflated by Python's zipfile; data "=N" is
// a shader script defining the name's stem as a shader, padded with blanks to N bytes.
void write_zip(const std::string &path, const std::vector<std::string> &names_and_data);

// The names (without blanks) of an archive's entries in order, as unzip lists them; none
// when it cannot.
std::vector<std::string> zip_names(const std::string &archive);

// A game folder baseoa/: its pak0.pk3's scripts/a.shader defines textures/s/x; z_other.pk3
// holds textures/set/a.tga with other bytes than the author's and set/b.tga with the same.
// The author's folder g/ redefines textures/s/x in scripts/b.shader with an image of its own.
// l.bsp draws textures/s/x, textures/s/own and both set textures.  The plan's line about the
// shader, then the conflict's.
std::vector<std::string> write_game_and_author();

// Every name under the working folder but left_out, with a file's inode, time and bytes or a
// link's target: equal snapshots, nothing was added, removed, replaced or written.
std::vector<std::string> folder_snapshot(const std::string &left_out = "");
