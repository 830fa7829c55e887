// The plan's lines on the terminal.
#include <gtest/gtest.h>

#include "terminal/step_lines.h"

TEST(PrintPlan, NotesKeepTheirNamesOneLineEach) {
    // The plan keeps the names of its notes as they are; each note is a line of
    // its own that shows them, in the terminal's encoding.
    package_plan plan;
    plan.notes = {"Pk3 du jeu illisible : a\nb.pk3 : x", "ignor\xe9 : y"};
    testing::internal::CaptureStdout();
    print_plan(plan, "\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Fichiers du jeu introuvables : rien n'est exclu\n"
              "Pk3 du jeu illisible : a\\nb.pk3 : x\nignor\xc3\xa9 : y\n");
}
