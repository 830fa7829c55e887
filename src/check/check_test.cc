// mapcrate --check on packages made from small files, through the real
// program: the lines it prints, its exit status, and the package left as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <map>
#include <sstream>

#include "check/check.h"
#include "level/plan.h"
#include "support.h"

namespace {

using files = std::map<std::string, std::string>;

// Packs the folder with Python's zipfile as Windows tools do (NTFS and UT times, data
// descriptors: the file is not seeked unless told); the arguments after the zip spoil one file.
const char python_pack[] = R"(import os, struct, sys, zipfile
class Out:
    def __init__(s, f): s.write, s.flush = f.write, f.flush
with open(sys.argv[1], 'wb') as f, zipfile.ZipFile(f if 'seek' in sys.argv else Out(f), 'w') as z:
    for p in sorted(os.path.join(d, n)[2:] for d, _, ns in os.walk('.') for n in ns):
        i = zipfile.ZipInfo(p.replace('/', '\\') if [p, '\\'] == sys.argv[2:4] else p)
        i.compress_type = 12 if [p, 'bzip2'] == sys.argv[2:4] else 8
        i.extra = struct.pack('<HHIHH3QHHBI', 10, 32, 0, 1, 24, 1, 2, 3, 0x5455, 5, 1, 0)
        with z.open(i, 'w', force_zip64=[p, 'zip64'] == sys.argv[2:4]) as w:
            w.write(open(p, 'rb').read()))";

// Found nowhere, already in the game, unused: the recorded outputs show these lines.
TEST(Check, PackagesLinesAndExitStatuses) {
    const std::string a = "textures/set/a.tga", b = "textures/base/b.tga",
                      s = "scripts/base.shader", old = "textures/set/old.tga",
                      long_name = "textures/set/" + std::string(47, 'n') + ".tga",
                      bad = "Illisible par le jeu : ", swap = "Remplace un fichier du jeu : ",
                      lost = "Introuvable : textures/set/a\n", py = "python3 ../pack.py ../p.pk3";
    // Two maps: m draws a texture of its own, one of the game's and one through its shader
    // script, and plays a sound named with a leading slash; e uses nothing and has its AAS.
    // The game ships textures/base/b.tga and scripts/base.shader.
    const files good = {
        {"maps/m.bsp",
         level_bytes({"textures/set/a", "textures/base/b", "textures/set/glow"}, {},
                     "{\n\"classname\" \"worldspawn\"\n}\n"
                     "{\n\"classname\" \"target_speaker\"\n\"noise\" \"/sound/m/hum\"\n}\n")},
        {"textures/set/a.tga", "A"},
        {"scripts/m.shader", "textures/set/glow\n{\n\t{\n\t\tmap textures/set/g.jpg\n\t}\n}\n"},
        {"textures/set/g.jpg", "G"},
        {"sound/m/hum.wav", "H"},
        {"maps/e.bsp", test_bsp()},
        {"maps/e.aas", test_aas()},
        {"scripts/m.arena", "{\nmap \"m\"\n}\n{\nmap \"e\"\n}\n"},
        {"levelshots/m.jpg", "L"},
        {"mapcrate", "credits"}};
    const struct {
        const char *what;
        std::string name, data; // a file the package differs by: "*" encrypts it
        int status;
        std::string m_lines, package_lines; // what --check prints after each part
        std::string pack = ""; // the tool that packs pkg/, when not the project's packer
        bool quiet = false;
        std::string e_lines = "";
        std::string beside = ""; // in the game's folder: zz.pk3 holds a, pak1.pk3 is cut short
    } rows[] = {
        {"good", "", "", 0, "", ""},
        {"a game path with other bytes", b, "THE GAME'S", 1, "", swap + b + " (pak0.pk3)\n"},
        {"a game shader script changed", s, "x\n{\n}\n", 1, "", swap + s + " (pak0.pk3)\n"},
        {"game code", "vm/qagame.qvm", "Q", 1, "", "Code du jeu remplacé : vm/qagame.qvm\n"},
        {"a script over the limit", "scripts/big.shader", std::string((16 << 20) + 1, ' '), 1, "",
         "Script de shaders trop grand, ignoré : scripts/big.shader\n"},
        {"a game pak cut short, --quiet", "", "", 0, "", "", "", true,
         "Pk3 du jeu illisible : pak/pak1.pk3 : archive coupée\n", "pak1.pk3"},
        {"an unused file, --quiet", old, "O", 0, "", "Inutilise : " + old + "\n", "", true},
        // The game's own readme is for people too: another one changes nothing players see.
        {"a readme at the root is a note", "README.txt", "R", 0, "", ""},
        {"an encrypted entry", a, "*", 1, lost, bad + a + " : entrée chiffrée\n"},
        {"a 64-byte name", long_name, "N", 1, "",
         bad + long_name + " : nom de 64 octets ou plus\n"},
        {"two names that differ in case", "Textures/Set/A.tga", "A", 1, "",
         bad + a + " : même nom, à la casse près, que Textures/Set/A.tga\n"},
        {"an AAS of another BSP", "maps/e.aas", test_aas(test_bsp_sum ^ 1), 1, "", "", "", false,
         bad + "maps/e.aas : calculé pour une autre compilation de maps/e.bsp\n"},
        {"an arena script naming a map it lacks", "scripts/m.arena", "{ map \"gone\" }", 1, "",
         bad + "scripts/m.arena : nomme une map absente du paquet : gone\n"},
        {"another package's file with other bytes", "", "", 1, "",
         "Conflit : " + a +
             " existe aussi dans pak/zz.pk3, avec un autre contenu ; le jeu "
             "prendra celui de ce pk3\n",
         "", false, "", "zz.pk3"},
        {"Info-ZIP's zip", "", "", 0, "", "", "zip -qr ../p.pk3 ."},
        {"7-Zip", "", "", 0, "", "", "7z a -tzip -bso0 ../p.pk3 ."},
        {"bsdtar", "", "", 0, "", "", "bsdtar --format zip -s ,^\\./,, -cf ../p.pk3 ."},
        {"Python, Windows times", "", "", 0, "", "", py},
        {"a Zip64 entry", a, "zip64 seek", 1, lost, bad + a + " : Zip64\n", py},
        {"a Zip64 entry with a data descriptor", a, "zip64", 0, "", "", py},
        {"a bzip2 entry", a, "bzip2", 1, lost,
         bad + a + " : compressée autrement que stockée ou deflate (méthode 12)\n", py},
        {"a name with backslashes", a, "\\", 1, lost,
         bad + "textures\\\\set\\\\a.tga : nom avec une barre oblique inverse\n", py},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        temp_dir work;
        mkdir("pak", 0755);
        write_zip("pak/pak0.pk3", {b, "the game's", s, "x\n{\n}\n\n", "README.txt", "the game's"});
        if (r.beside == "zz.pk3")
            write_zip("pak/zz.pk3", {a, "other"});
        else if (!r.beside.empty())
            write_file("pak/" + r.beside, read_file("pak/pak0.pk3").substr(0, 40));
        files contents = good;
        if (r.data != "*" && !r.name.empty())
            contents[r.name] = r.data;
        // Packed by the row's tool (given the row's file), or the project's packer; the file
        // named "*" goes in last, encrypted.
        write_file("pack.py", python_pack);
        std::vector<std::string> plain =
            words("env -C pkg " + (r.pack.empty() ? MAPCRATE_PACK " -o -9 ../p.pk3"
                                                  : r.pack + " " + r.name + " " + r.data));
        for (const auto &[name, data] : contents) {
            write_file("pkg/" + name, data);
            if (r.pack.empty() && (name != r.name || r.data != "*"))
                plain.push_back(name);
        }
        ASSERT_EQ(run_program(plain).status, 0);
        ASSERT_TRUE(
            r.data != "*" ||
            run_program(words("env -C pkg " MAPCRATE_PACK " -a -9 -p secret ../p.pk3 " + r.name))
                    .status == 0);
        const std::string before = read_file("p.pk3");
        run_result run =
            run_program(words("env LC_ALL=C.UTF-8 " MAPCRATE_PROGRAM " --check p.pk3 --game pak" +
                              std::string(r.quiet ? " --quiet" : "")));
        std::string found = r.e_lines + r.m_lines + r.package_lines;
        // The counts that close the lines are the table's below.
        EXPECT_EQ(run.out.substr(0, run.out.find("Bilan de")), r.quiet ? found
                                   : "Fichiers du jeu : pak (3 fichiers)\nMap : e\n" + r.e_lines +
                                         "Map : m\n" + r.m_lines + r.package_lines +
                                         (found.empty() ? "Rien à signaler.\n" : ""));
        EXPECT_EQ(run.status, r.status);
        EXPECT_EQ(read_file("p.pk3"), before);
    }
}

// Several packages and folders: each package's counts, the run's, and the worst status.
// One of the game's paks replaces the earlier paks' files and is no copy of itself.
TEST(Check, ManyPackagesGiveTheWorstStatus) {
    temp_dir work;
    mkdir("g", 0755);
    mkdir("pk", 0755);
    write_zip("g/pak0.pk3", {"textures/base/b.tga", "the game's"});
    write_zip("g/pak1.pk3", {"textures/base/b.tga", "newer", "textures/base/c.tga", "C"});
    const std::string world = "{\n\"classname\" \"worldspawn\"\n}\n";
    write_file("maps/m.bsp", level_bytes({"textures/base/b"}, {}, world));
    write_file("maps/x.bsp", level_bytes({"textures/set/none"}, {}, world));
    write_file("maps/y.bsp", level_bytes({"textures/set/none"}, {}, world));
    write_file("textures/base/b.tga", "mine");
    for (const char *zip : {"pk/a_good.pk3 maps/m.bsp", "pk/b_lacking.pk3 maps/x.bsp",
                            "pk/c_swap.pk3 maps/m.bsp textures/base/b.tga",
                            "twice.pk3 maps/x.bsp maps/y.bsp"})
        ASSERT_EQ(run_program(words(std::string("zip -q ") + zip)).status, 0);
    write_file("pk/d_bad.pk3", "not a zip");
    const struct {
        std::string paths;
        int status;
        std::string said, before = ""; // before: a line said earlier than said
    } rows[] = {
        {"pk/a_good.pk3", 0, "1 paquet(s) vérifié(s), 1 jouable(s) comme prévu.\n"},
        {"pk/b_lacking.pk3", 1, "Bilan de pk/b_lacking.pk3 : 1 map(s), 1 introuvable(s), 0 "},
        {"pk/c_swap.pk3", 1, ", 1 fichier(s) du jeu remplacé(s), 0 conflit(s), "},
        {"pk/d_bad.pk3", 5, "1 paquet(s) vérifié(s), 0 jouable(s)"},
        // A path two maps miss is one line after the maps'.
        {"twice.pk3", 1, "Map : y\nIntrouvable : textures/set/none (x, y)\n"},
        {"pk/b_lacking.pk3 pk/a_good.pk3", 1, "Bilan de pk/a_good.pk3", "Bilan de pk/b_lacking"},
        {"pk", 5, "4 paquet(s) vérifié(s), 1 jouable(s)", "Bilan de pk/c_swap.pk3"},
        {"g/pak1.pk3", 0, " 0 fichier(s) du jeu remplacé(s), 0 conflit(s), 0 illisible(s) par "
                          "le jeu, 0 inutilisé(s), 0 déjà dans le jeu\n"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.paths);
        run_result run = run_program(
            words("env LC_ALL=C.UTF-8 " MAPCRATE_PROGRAM " --check " + r.paths + " --game g"));
        EXPECT_EQ(run.status, r.status);
        size_t at = run.out.find(r.said);
        EXPECT_NE(at, std::string::npos) << run.out;
        EXPECT_TRUE(r.before.empty() || run.out.find(r.before) < at) << run.out;
    }
    // --json: a line a package, read back by Python's json, whose findings
    // count as the text's counts do.
    const std::string check = "env LC_ALL=C.UTF-8 " MAPCRATE_PROGRAM " --game g --check ";
    run_result json = run_program(words(check + "pk --json"));
    EXPECT_EQ(json.status, 5);
    run_result read = run_program({"python3", "-c", R"py(import json, sys
for line in sys.stdin:
    j = json.loads(line)
    counts = ["%d map(s)" % len(j.get("maps", []))] + ["%d %s" % (len(j.get(k, [])), label) for k, label in (
        ("missing", "introuvable(s)"), ("overrides", "fichier(s) du jeu remplacé(s)"),
        ("conflicts", "conflit(s)"), ("unreadable", "illisible(s) par le jeu"),
        ("unused", "inutilisé(s)"), ("in_game", "déjà dans le jeu"))]
    # Each path found missing, as its line names it.
    missed = ["Introuvable : " + f["path"] for f in j.get("missing", [])]
    print(j["package"], j["status"], ", ".join(counts), "\t".join(missed), sep="\t"))py"},
                                   json.out);
    ASSERT_EQ(read.status, 0) << read.err;
    std::istringstream lines(read.out);
    int packages = 0;
    for (std::string line; std::getline(lines, line); ++packages) {
        std::istringstream fields(line);
        std::string package, status, counts;
        std::getline(fields, package, '\t');
        std::getline(fields, status, '\t');
        std::getline(fields, counts, '\t');
        run_result text = run_program(words(check + package));
        EXPECT_EQ(run_program(words(check + package + " --json")).status, text.status);
        EXPECT_EQ(status == "ok" ? 0 : status == "problems" ? 1 : 5, text.status);
        bool read_whole = status != "unreadable";
        EXPECT_TRUE(!read_whole || text.out.find(" : " + counts + "\n") != std::string::npos)
            << counts << "\n" << text.out;
        for (std::string missed; std::getline(fields, missed, '\t');)
            EXPECT_NE(text.out.find(missed + "\n"), std::string::npos) << missed;
    }
    EXPECT_EQ(packages, 4);
    EXPECT_EQ(run_program(words(MAPCRATE_PROGRAM " --json --bsp maps/m.bsp --name m")).status, 2);
}

// A stop asked while a level of 8 MiB (32 pieces) is read, or at once: the
// plan and the check say so and end within a few questions more.
TEST(Cancel, PlanAndCheckStopBetweenPiecesOfTheLevel) {
    temp_dir work;
    mkdir("g", 0755);
    write_zip("g/pak0.pk3", {"textures/base/b.tga", "the game's"});
    write_file("maps/m.bsp", level_bytes({"textures/set/a"}) + std::string(8 << 20, '\0'));
    ASSERT_EQ(run_program({"zip", "-q", "p.pk3", "maps/m.bsp"}).status, 0);
    static std::atomic<int> asked, stop_at;
    progress_sink sink;
    sink.cancelled = [] { return ++asked >= stop_at; };
    for (int at : {1, 4, 1 << 30}) {
        SCOPED_TRACE(at);
        const bool stops = at < 100;
        asked = 0, stop_at = at;
        EXPECT_EQ(plan_package({"", "maps/m.bsp", "", "", "m", "g"}, sink).cancelled, stops);
        EXPECT_TRUE(stops ? asked <= at + 1 : asked >= 32) << asked;
        asked = 0;
        EXPECT_EQ(check_package("p.pk3", "g", sink).failure.what == msg::check_cancelled, stops);
        EXPECT_TRUE(stops ? asked <= at + 5 : asked >= 32) << asked;
    }
}

} // namespace
