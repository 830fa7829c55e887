// The staging tree, its scripts and the packer's list, read back from the
// archive; the working folder left as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "io/io.h"
#include "pipeline/pipeline.h"
#include "stage/stage.h"
#include "support.h"

namespace {

using list = std::vector<std::string>;

// Plans m.bsp, stages and packs as Execute does, with no child process, and gives the
// archive's names, sorted.  The working folder gets the package and nothing else; each
// entry holds what it was planned from, none encrypted.
list execute(const std::string &textures, package_plan &plan) {
    pack_request request;
    request.textures_dir = textures, request.bsp_path = "m.bsp", request.map_name = "-m";
    request.description = "Le \"grand\"\ntwo";
    request.modes = {true, false, true, true, true, false, true, true};
    pack_run run;
    plan = run.plan = plan_package({textures, "m.bsp", "", "", "-m", ""});
    const list before = folder_snapshot("-m.pk3");
    rusage children{}, after{};
    getrusage(RUSAGE_CHILDREN, &children);
    report result = stage_and_pack(request, run, {});
    getrusage(RUSAGE_CHILDREN, &after);
    EXPECT_EQ(result.path + result.why, "");
    EXPECT_EQ(after.ru_minflt, children.ru_minflt) << "a child process ran";
    EXPECT_EQ(folder_snapshot("-m.pk3"), before);
    // The game would cut a value at a double quote; CR LF as in text mode.
    std::map<std::string, std::string> wanted{
        {"mapcrate", credits_text},
        {"scripts/-m.arena",
         "{\r\nmap \"-m\"\r\nbots \"phobos\"\r\nlongname \"Le 'grand'\r\ntwo\"\r\n"
         "fraglimit 20\r\ntimelimit 60\r\ntype \"ffa ctf single tourney 1v1 2v2 \"\r\n}\r\n"}};
    for (const planned_file &p : plan.files)
        wanted[p.game_path] = read_file(p.source);
    list names;
    for (const zip_entry &e : read_zip_with_python("-m.pk3").entries) {
        EXPECT_TRUE(e.data == wanted[e.name] && (e.flags & 1) == 0) << e.name;
        names.push_back(e.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A game path or a map name beginning with a dash is a plain name, not the packer's option.
TEST(CreatDir, PacksWhatTheMapUsesFromTheGameFolderLessWhatTheGameShips) {
    const list used =
        words("-p/x.wav env/sky_bk.tga env/sky_dn.tga env/sky_ft.tga env/sky_lf.tga env/sky_rt.tga "
              "env/sky_up.tga maps/-m.bsp mapcrate models/m.md3 music/intro.ogg scripts/-m.arena "
              "scripts/set1.shader sound/s/hum.wav textures/set1/a.tga textures/set1/b.jpg "
              "textures/set2/c.tga textures/set2/d.tga textures/set2/skin.tga video/intro.roq");
    const list owned = {"scripts/base.shader", "textures/shipped/s.tga"};
    const list missing = {"models/gone.md3", "textures/set2/none.tga", "textures/../x/a",
                          "sound/none.wav", "music/loop"};
    // Names a shell or the packer's options would misread; a backslash is no separator here.
    const list odd = {"q\"u.tga", "$(>p).tga", "`>p`.tga", "b\\s.tga",
                      "n\nl.tga", "-rf",       "\xe9.tga"};
    list flat = {"mapcrate", "maps/-m.bsp", "scripts/-m.arena"};
    for (const std::string &n : odd)
        flat.push_back("textures/" + n);
    struct {
        const char *textures;
        bool game;
        list more;
    } rows[] = {
        {"game/textures", true, {}},
        // A set folder: the other sets come from the game folder.
        {"game/textures/set1", true, {}},
        // Without the game's files nothing is left out.
        {"game/textures", false, owned},
        {"flat", true, flat},
    };
    setenv("MAPCRATE_GAME_DIR", "", 1);
    for (const auto &row : rows) {
        temp_dir dir;
        for (const std::string &p : words(
                 "textures/set1/a.tga textures/set1/b.jpg textures/set1/u.tga textures/set2/c.tga "
                 "textures/set2/d.tga textures/other/z.tga textures/set2/skin.tga "
                 "textures/shipped/s.tga env/sky_rt.tga env/sky_bk.tga env/sky_lf.tga "
                 "env/sky_ft.tga env/sky_up.tga env/sky_dn.tga env/other_rt.tga video/intro.roq "
                 "sound/s/hum.wav sound/s/unused.wav music/intro.ogg scripts/x.arena -p/x.wav"))
            write_file("game/" + p, p);
        for (const std::string &n : odd)
            write_file("flat/" + n, n);
        write_file("game/models/m.md3", md3_bytes({{"textures/set2/skin"}}));
        // Comments, a quoted name, stages in nested braces; animMap's frames follow its rate.
        write_file("game/scripts/set1.shader",
                   "// textures/set1/x {\n\"textures/set1/glow\" { /* map textures/other/z.tga */\n"
                   "{ animMap 2 textures/set2/none.tga textures/set2/c.tga } }\n"
                   "textures/set1/sky { skyParms - 512 env/sky\n{ videoMap intro.roq } }");
        write_file("game/scripts/unused.shader", "textures/other/z { }");
        write_file("game/scripts/base.shader", "textures/base/w { }");
        if (row.game)
            write_zip("game/pak0.pk3", {"textures/shipped/S.jpg", "", "scripts/base.shader",
                                        "textures/base/w { { map textures/base/img } }",
                                        "textures/base/img.tga", "", "sound/shipped.wav", ""});
        // Names compare as the game compares them; none may lead out of textures/.
        write_file("m.bsp",
                   level_bytes({"textures/set1/a", "textures/set1/glow", "textures/../x/a",
                                "textures/SET1\\B.TGA", "textures/set1/sky", "textures/shipped/s",
                                "textures/base/w", "noshader"},
                               {"textures/set2/d"},
                               R"({ "classname" "worldspawn" "music" "music/intro.wav  music\loop" }
{ "noise" "sound/s/hum" } { "noise" "*falling1.wav" } { "noise" "sound/shipped.wav" }
{ "noise" "sound/none.wav" } { "noise" "-p/x.wav" } { "model" "models/m.md3" } { "classname" "misc_model" "model" "x" }
{ "classname" "func_door" "music" "music/x" "model" "*1" "model2" "models/gone.md3" })"));
        list entries = row.more;
        if (row.textures != std::string("flat"))
            entries.insert(entries.end(), used.begin(), used.end());
        std::sort(entries.begin(), entries.end());
        package_plan plan;
        EXPECT_EQ(execute(row.textures, plan), entries) << row.textures;
        if (row.textures == std::string("game/textures")) {
            EXPECT_EQ(plan.game_owned, row.game ? owned : list{}) << row.game;
            EXPECT_EQ(plan.missing, row.game ? missing : list{}) << row.game;
        }
        EXPECT_FALSE(std::filesystem::exists("x"));
    }
    unsetenv("MAPCRATE_GAME_DIR");
}

// The sample's game folder as its author keeps it after a build: the level also as
// maps/beta.bsp, an older maps/crateyard.bsp and the author's own scripts/crateyard.arena.
void write_author_folder() {
    namespace fs = std::filesystem;
    fs::copy(MAPCRATE_SOURCE_DIR "/samples/crateyard", ".", fs::copy_options::recursive);
    fs::copy("maps/crateyard.bsp", "maps/beta.bsp");
    write_file("maps/crateyard.bsp", "IBSP, an older build");
    write_file("scripts/crateyard.arena", "{ map \"crateyard\" bots \"mine\" type \"ctf\" }");
}

// The README's build-script line, run twice from the author's game folder: the level and the arena
// script there stay the author's, and only the package is new.  A copy past the file-size limit
// fails the staging (status 3).  A run killed while staging (its output on a small pipe nobody
// reads holds it there) leaves no staging folder but with SIGKILL, and the next run removes that
// one, never one a running Execute holds.
TEST(StageAndPack, TheWorkingFolderIsLeftAsItWas) {
    const struct {
        const char *what;
        int sig = 0;
        const char *limit = ""; // on the size of the files the run writes
    } rows[] = {{"the README's line"}, {"the file-size limit", 0, "prlimit --fsize=120 "},
                {"SIGINT", SIGINT},    {"SIGTERM", SIGTERM},
                {"SIGHUP", SIGHUP},    {"SIGKILL", SIGKILL}};
    setenv("MAPCRATE_GAME_DIR", "", 1);
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        temp_dir dir;
        write_author_folder();
        mkdir(".mapcrate-stage-inuse1", 0700);
        fd_owner held{open(".mapcrate-stage-inuse1", O_RDONLY | O_DIRECTORY)};
        ASSERT_EQ(flock(held.fd, LOCK_EX), 0);
        const list before = folder_snapshot();
        const size_t names = list_dir(".").size();
        list args = words("env LC_ALL=C.UTF-8 " + std::string(r.limit) + MAPCRATE_PROGRAM +
                          " --bsp maps/beta.bsp --aas maps/crateyard.aas --levelshot "
                          "levelshots/crateyard.jpg --textures textures --name crateyard "
                          "--modes ffa,tourney --description");
        args.push_back("Crate Yard");
        if (r.sig) {
            int out[2];
            ASSERT_EQ(pipe(out), 0);
            fcntl(out[1], F_SETPIPE_SZ, 4096);
            // Room for the plan's lines, not for the staging's.
            ASSERT_EQ(write(out[1], std::string(3072, ' ').data(), 3072), 3072);
            pid_t pid = start_program(args, {0, out[1], 2});
            close(out[1]);
            // Its staging folder made, the run waits on the pipe.
            for (int i = 0; i < 1000 && list_dir(".").size() == names; ++i)
                usleep(10000);
            EXPECT_EQ(list_dir(".").size(), names + 1) << "the staging folder never came";
            kill(pid, r.sig);
            int status = 0;
            waitpid(pid, &status, 0);
            close(out[0]);
            EXPECT_EQ(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status),
                      128 + r.sig);
            EXPECT_EQ(folder_snapshot() == before, r.sig != SIGKILL);
        }
        for (int again = 0; again < 2; ++again) {
            run_result run = run_program(args);
            EXPECT_EQ(run.status, *r.limit ? 3 : 0) << run.err;
            EXPECT_EQ(folder_snapshot("crateyard.pk3"), before);
        }
        std::map<std::string, std::string> entries{{"scripts/crateyard.arena", ""}};
        for (const zip_entry &e : read_zip_with_python("crateyard.pk3").entries)
            entries[e.name] = e.data;
        EXPECT_EQ(entries["maps/crateyard.bsp"], *r.limit ? "" : read_file("maps/beta.bsp"));
        EXPECT_EQ(entries["scripts/crateyard.arena"].find("bots \"phobos\"") < 99, !*r.limit);
    }
    unsetenv("MAPCRATE_GAME_DIR");
}

} // namespace
