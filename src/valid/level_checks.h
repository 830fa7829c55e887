// The checks that tell whether the given files will play in the game: a
// compiled level, its bots' navigation file made for that very compile,
// and the levelshot the arena menu can show.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// In the order they are asked about.
enum class level_problem {
    bsp_not_level,          // not "IBSP" version 46
    aas_not_navigation,     // not "EAAS" version 4 or 5
    aas_for_another_bsp,    // its checksum is not the BSP's
    levelshot_not_128,      // not a 128x128 JPEG, TGA or PNG the game reads
};

// The game's checksum of a compiled level: the MD4 digest of the whole file
// read as four little-endian 32-bit words XORed together.  Empty when the
// file cannot be read to its end.
std::optional<int32_t> bsp_checksum(const char *bsp_path);
// The same from the level's bytes, and the checksum an AAS was computed
// for, from its first bytes (empty when they are not an "EAAS" version 4 or
// 5 header).
int32_t bsp_checksum_of_bytes(std::string_view bsp);
std::optional<int32_t> aas_checksum_of_bytes(std::string_view head);

// What is wrong with the files the form names, in that order.  The BSP is
// always checked; an empty AAS or levelshot path is not.  The AAS's checksum
// is compared only when its own header passed.  Shows nothing: the caller
// asks the user about each problem.
std::vector<level_problem> level_problems(const char *bsp_path, const char *aas_path,
                                          const char *levelshot_path);
