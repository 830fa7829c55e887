// --make-levelshot as a user runs it: the sample's levelshot made by the real
// client under the X server the program starts itself, and runs that fail,
// are refused or are stopped; none leaves a process or a folder behind.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "level/levelshot.h"
#include "pipeline/pipeline.h"
#include "shot/shot.h"
#include "support.h"

namespace {

const std::string sample = MAPCRATE_SOURCE_DIR "/samples/crateyard";

// The processes whose command line or environment holds text: those the
// runs started, who all had the test's TMPDIR.  A killed one may take a
// moment to go: up to two seconds.
std::vector<std::string> processes_with(const std::string &text) {
    std::vector<std::string> found;
    for (int i = 0; i < 200 && (i == 0 || !found.empty()); ++i, usleep(10000)) {
        found.clear();
        for (const std::string &pid : list_dir("/proc"))
            if (pid.find_first_not_of("0123456789") == std::string::npos &&
                std::to_string(getpid()) != pid)
                for (const char *file : {"/cmdline", "/environ"})
                    if (read_file("/proc/" + pid + file).find(text) != std::string::npos) {
                        found.push_back(pid);
                        break;
                    }
    }
    return found;
}

double luma(const std::string &ppm_pixels, size_t pixel) {
    const auto *p = reinterpret_cast<const unsigned char *>(ppm_pixels.data()) + pixel * 3;
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
}

TEST(Shot, TheSampleMadeByTheGameAndRunsThatFailOrStop) {
    shot_setup setup;
    if (!find_client(setup))
        GTEST_SKIP() << "no client at " << setup.client << ", X server at " << setup.xserver
                     << " or game in " << setup.base
                     << ": Debian's openarena and xvfb install them";
    temp_dir dir;
    const std::string tmp = dir.path + "/tmp";
    setenv("TMPDIR", tmp.c_str(), 1);
    write_file("tmp/.keep", "");
    std::string level = read_file(sample + "/maps/crateyard.bsp");
    write_file("bad.bsp", level.replace(4, 1, 1, '\x2d')); // version 45
    write_file("old.jpg", jpeg(128));
    // Found first on PATH: a client that sends mapcrate a SIGTERM with a child running, one
    // that hangs.
    write_file("bin/ioquake3", "#!/bin/sh\nsleep 600 & kill -TERM $PPID; wait\n");
    write_file("slow/ioquake3", "#!/bin/sh\nexec sleep 600\n");
    chmod("bin/ioquake3", 0755);
    chmod("slow/ioquake3", 0755);

    const std::string pack = " --quiet --modes ffa --textures " + sample + "/textures --name ";
    const std::string made = "crateyard --bsp " + sample + "/maps/crateyard.bsp";
    // A package that cannot be written (a folder in its place) takes its new picture with it.
    mkdir("crateyard.pk3", 0755);
    EXPECT_EQ(run_program(words("env LC_ALL=C.UTF-8 " MAPCRATE_PROGRAM " --make-levelshot" + pack +
                                made))
                  .status,
              4);
    EXPECT_EQ(read_file("crateyard-levelshot.jpg"), "");
    rmdir("crateyard.pk3");
    const struct {
        std::string args, path;
        int status;
        std::string err; // a part of standard error
    } rows[] = {
        {pack + made, "", 0, ""},
        // Kept from the first run: replaced only when --yes says so.
        {pack + made, "", 1, "crateyard-levelshot.jpg existe d\xc3\xa9j\xc3\xa0"},
        {pack + "bad --yes --bsp bad.bsp", "", 6,
         "charger la map bad : Client fatal crashed: CM_LoadMap: maps/bad.bsp has wrong "
         "version number (45 should be 46)"},
        {pack + made + " --levelshot old.jpg", "", 2, "ne va pas avec --levelshot"},
        {pack + made + " --yes", dir.path + "/bin:", 143, ""},
    };
    std::string first; // the picture the first run kept
    for (const auto &r : rows) {
        run_result run = run_program(words("env PATH=" + r.path +
                                           "/usr/bin:/bin LC_ALL=C.UTF-8 "
                                           "timeout -k 1 60 " MAPCRATE_PROGRAM " --make-levelshot" +
                                           r.args));
        EXPECT_EQ(run.status, r.status) << r.args << "\n" << run.err;
        EXPECT_NE(run.err.find(r.err), std::string::npos) << run.err;
        EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"}) << r.args;
        EXPECT_EQ(processes_with(tmp), std::vector<std::string>{}) << r.args;
        if (first.empty())
            first = read_file("crateyard-levelshot.jpg");
        EXPECT_EQ(read_file("crateyard-levelshot.jpg"), first) << r.args;
    }
    EXPECT_EQ(list_dir("."), (std::vector<std::string>{"bad.bsp", "bin", "crateyard-levelshot.jpg",
                                                       "crateyard.pk3", "old.jpg", "slow", "tmp"}));
    // The package holds the picture kept beside it.
    zip_reading package = read_zip_with_python("crateyard.pk3");
    auto shot =
        std::find_if(package.entries.begin(), package.entries.end(),
                     [](const zip_entry &e) { return e.name == "levelshots/crateyard.jpg"; });
    ASSERT_NE(shot, package.entries.end());
    EXPECT_EQ(shot->data, first);
    image_header header = read_image_header("crateyard-levelshot.jpg");
    EXPECT_EQ(std::tie(header.format, header.width, header.height, header.components),
              std::make_tuple(image_format::jpg, 128u, 128u, 3));
    // A view, not a flat picture; its top rows, the sample's sky, smooth: no console text
    // over them (its letters make a jump from a pixel to the next every few pixels).
    std::string ppm = run_program({"djpeg", "-pnm", "crateyard-levelshot.jpg"}).out;
    const std::string head = "P6\n128 128\n255\n";
    ASSERT_EQ(ppm.compare(0, head.size(), head), 0);
    std::string pixels = ppm.substr(head.size());
    double low = 255, high = 0, top_steps = 0;
    for (size_t i = 0; i < 128 * 128; ++i) {
        double l = luma(pixels, i);
        low = std::min(low, l), high = std::max(high, l);
        if (i < 128 * 24 && i % 128 != 127)
            top_steps += std::abs(luma(pixels, i + 1) - l) / (24 * 127);
    }
    EXPECT_GT(high - low, 64) << "flat";
    EXPECT_LT(top_steps, 2) << "text over the top rows";

    // Through the call: no client, and one that does not get to the picture in time.
    pack_request request;
    request.bsp_path = sample + "/maps/crateyard.bsp";
    request.map_name = "crateyard";
    pack_run run;
    plan_form(request, run);
    EXPECT_EQ(make_levelshot(request, run, {"/nonexistent/ioquake3", "", "", 60}).outcome.what,
              msg::shot_no_client);
    shot_result slow = make_levelshot(request, run, {"slow/ioquake3", "", "", 1});
    EXPECT_EQ(std::tie(slow.outcome.what, slow.outcome.count),
              std::make_tuple(msg::shot_too_slow, 1u));
    EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"});
    EXPECT_EQ(processes_with(tmp), std::vector<std::string>{});
    unsetenv("TMPDIR");
}

// The client's TGA, bottom row first unless its descriptor says otherwise,
// read as RGB; anything but a whole 128x128 true-colour picture is refused.
TEST(Shot, ReadsTheClientsTga) {
    temp_dir dir;
    auto tga = [](char type, int side, char descriptor, size_t pixel_bytes) {
        std::string h(18, '\0');
        h[2] = type, h[12] = h[14] = char(side & 0xff), h[13] = h[15] = char(side >> 8);
        h[16] = 24, h[17] = descriptor;
        std::string pixels(pixel_bytes, '\0');
        for (size_t i = 0; i + 2 < pixels.size();
             i += 3) // blue, green, red: the row's number in red
            pixels[i + 2] = char(i / (side * 3));
        return h + pixels;
    };
    const size_t whole = 128 * 128 * 3;
    const struct {
        std::string file;
        int first_red; // of the top row; -1: refused
    } rows[] = {
        {tga(2, 128, 0, whole), 127},    {tga(2, 128, 0x20, whole), 0},
        {tga(2, 128, 0, whole - 1), -1}, {tga(10, 128, 0, whole), -1},
        {tga(2, 64, 0, whole), -1},
    };
    for (const auto &r : rows) {
        write_file("t.tga", r.file);
        std::vector<unsigned char> rgb = read_tga_pixels("t.tga", 128);
        EXPECT_EQ(rgb.empty() ? -1 : rgb[0], r.first_red);
    }
    write_file("shot.jpg", jpeg_of(read_tga_pixels("t.tga", 64), 64, 64));
    EXPECT_EQ(read_image_header("shot.jpg").components, 3);
}

} // namespace
