// Each file spoiled one way per row; the problems come in the form's order.
#include "valid/level_checks.h"

#include <gtest/gtest.h>

#include "support.h"

TEST(LevelProblems, EachSpoiledHeaderFoundInOrder) {
    temp_dir work;
    const std::string bsp = test_bsp(), shot = jpeg(128);
    using p = level_problem;
    const std::vector<p> all = {p::bsp_not_level, p::aas_not_navigation, p::levelshot_not_128_jpeg};
    const struct {
        std::string bsp, aas, shot; // an empty AAS or levelshot is not asked about
        std::vector<p> found;
    } rows[] = {
        {bsp, test_aas(), shot, {}},
        {bsp, test_aas(test_bsp_sum, 4), "", {}}, // version 4 is stored plain
        {bsp, test_aas(test_bsp_sum + 1), "", {p::aas_for_another_bsp}},
        {test_bsp("RBSP"), test_aas(test_bsp_sum, 5, "EAAZ"), jpeg(128, true), all},
        {test_bsp("IBSP", 47), test_aas(test_bsp_sum, 6), jpeg(64), all},
        {bsp.substr(0, 143), test_aas().substr(0, 123), shot.substr(0, shot.find("\xff\xda") + 12),
         all}, // the JPEG cut in its last marker
    };
    for (const auto &r : rows) {
        write_file("b", r.bsp);
        write_file("a", r.aas);
        write_file("s", r.shot);
        EXPECT_EQ(level_problems("b", r.aas.empty() ? "" : "a", r.shot.empty() ? "" : "s"), r.found)
            << &r - rows;
    }
}
