#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gui_support.h"
#include "support.h"
#include "valid/level_checks.h"

namespace {

// A JPEG of side x side pixels of one flat tone, in colour or in greys.
std::string jpeg(int side, bool grey = false) {
    std::string ppm = "P6 " + std::to_string(side) + " " + std::to_string(side) + " 255\n";
    ppm.append(side * side * 3, char(200));
    return run_program({"cjpeg", grey ? "-grayscale" : "-baseline"}, ppm).out;
}

// What the user saw: "! " marks an error, "? " a modal question over the window.
const std::string folder = "! Veuillez selectionner un dossier valide pour les textures";
const std::string unreadable = "! Impossible d'ouvrir le fichier.\nVerifiez son existance ou "
                               "qu'il n'y ai pas de caracteres accentués.\n";
const std::string mandatory = "! Revérifiez les champs en Rouge, ils sont obligatoires.";
const std::string unloadable =
    "! Le nom de la map doit faire au plus 52 caractères, pris parmi les "
    "lettres sans accent, les chiffres, - _ et . : le jeu ne pourrait "
    "pas la charger.";
const std::string mode_q = "? Aucun mode de jeu n'a été choisis, le pk3 n'apparaitre dans "
                           "aucune catégorie.\nVoulez-vous continuer ?";
const std::string bsp_q = "? Le fichier BSP n'est pas une map compilée pour le jeu (IBSP, "
                          "version 46).\nVoulez-vous continuer ?";
const std::string aas_q = "? Le fichier AAS n'est pas un fichier de navigation des bots (EAAS, "
                          "version 5).\nVoulez-vous continuer ?";
const std::string sum_q = "? Le fichier AAS a été calculé pour une autre compilation de la map "
                          ": les bots ne pourront pas y jouer.\nVoulez-vous continuer ?";
const std::string shot_q = "? Le levelshot n'est pas une image JPEG de 128×128 pixels en 24 "
                           "bits.\nVoulez-vous continuer ?";
const std::string not_written = "! Le pk3 n'a pas été écrit : dir.pk3 : not a regular file";

TEST(Validation, HeaderChecksThenExecuteRulesQuestionsAndOutcomes) {
    temp_dir work;
    using p = level_problem;
    const std::string shot = jpeg(128), cut = shot.substr(0, shot.find("\xff\xda") + 12);
    struct check {
        std::string what, bsp, aas, shot;
        std::vector<level_problem> found;
    };
    const check checks[] = {
        {"AAS version 4 is stored plain", test_bsp(), test_aas(test_bsp_sum, 4), "", {}},
        {"BSP of another engine", test_bsp("RBSP"), "", "", {p::bsp_not_level}},
        {"BSP version 47", test_bsp("IBSP", 47), "", "", {p::bsp_not_level}},
        {"BSP cut short", test_bsp().substr(0, 143), "", "", {p::bsp_not_level}},
        {"AAS magic", test_bsp(), test_aas(test_bsp_sum, 5, "EAAZ"), "", {p::aas_not_navigation}},
        {"AAS version 6", test_bsp(), test_aas(test_bsp_sum, 6), "", {p::aas_not_navigation}},
        {"AAS cut short", test_bsp(), test_aas().substr(0, 123), "", {p::aas_not_navigation}},
        {"levelshot in grey", test_bsp(), "", jpeg(128, true), {p::levelshot_not_128_jpeg}},
        {"levelshot cut in its last marker", test_bsp(), "", cut, {p::levelshot_not_128_jpeg}},
    };
    for (const check &r : checks) {
        write_file("l.bsp", r.bsp);
        write_file("l.aas", r.aas);
        write_file("l.jpg", r.shot);
        const char *aas = r.aas.empty() ? "" : "l.aas", *shot = r.shot.empty() ? "" : "l.jpg";
        EXPECT_EQ(level_problems("l.bsp", aas, shot), r.found) << r.what;
    }

    // Paths, names and description carry printf directives: never a format.
    const char *tex = "t%s%n", *lvl = "l%s%n.bsp", *bot = "b%n.aas", *jpg = "s%n.jpg",
               *old = "o%n.aas", *bad = "x%n.jpg", *pipe = "p%n", *gone = "g";
    for (const char *dir : {tex, "dir.pk3"})
        mkdir(dir, 0755);
    write_file(lvl, test_bsp());
    write_file(bot, test_aas());
    write_file(jpg, jpeg(128));
    write_file(bad, jpeg(64));
    write_file(old, test_aas(test_bsp_sum + 1));
    mkfifo(pipe, 0644);
    enum end { refused, packed, unwritten };
    const int yes = GTK_RESPONSE_YES, no = GTK_RESPONSE_NO, shut = GTK_RESPONSE_DELETE_EVENT,
              none = -1;
    struct row {
        const char *what, *textures, *bsp, *aas, *shot, *name;
        int mode, answer;
        std::vector<std::string> dialogs;
        end outcome;
    };
    const row rows[] = {
        {"BSP empty", "", "", "", "", "m", 0, yes, {mandatory}, refused},
        {"textures a file, BSP untested", lvl, gone, "", "", "m", 0, yes, {folder}, refused},
        {"BSP is a named pipe", "", pipe, "", "", "m", 0, yes, {unreadable + pipe}, refused},
        {"AAS missing, first", "", "", gone, "", "m", 0, yes, {unreadable + gone}, refused},
        {"levelshot a folder", "", lvl, "", tex, "m", 0, yes, {unreadable + tex}, refused},
        {"map name empty", tex, lvl, bot, jpg, "", 0, yes, {mandatory}, refused},
        {"map name climbs out", "", lvl, "", "", "../up", 0, yes, {unloadable}, refused},
        {"BSP not a level, No", "", bad, "", "", "m", 0, no, {bsp_q}, refused},
        {"another compile, closed", "", lvl, old, "", "shut", 0, shut, {sum_q}, packed},
        {"AAS not a navigation file", "", lvl, jpg, "", "aas", 0, yes, {aas_q}, packed},
        {"in order", tex, bad, bot, bad, "all", none, yes, {bsp_q, sum_q, shot_q, mode_q}, packed},
        {"no game mode, No", tex, lvl, bot, jpg, "m", none, no, {mode_q}, refused},
        {"a good form needs no word", tex, lvl, bot, jpg, "Good-1.x_", 7, yes, {}, packed},
        {"the package cannot be written", "", lvl, "", "", "dir", 1, yes, {not_written}, unwritten},
    };
    form_record f;
    make_form(f);
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        const char *texts[6] = {r.textures, r.bsp, r.aas, r.shot, r.name, "%n%s"};
        fill_form(f, texts, r.mode == none ? std::vector<int>{} : std::vector<int>{r.mode});
        std::vector<std::string> before = list_dir("."), seen;
        auto d = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, r.answer);
        EXPECT_EQ(std::count(d->alive.begin(), d->alive.end(), nullptr),
                  std::ptrdiff_t(d->alive.size()));
        for (const seen_dialog &s : d->seen) {
            bool q = s.type == GTK_MESSAGE_QUESTION && s.modal && s.parent == GTK_WINDOW(f.window);
            seen.push_back((q ? "? " : s.type == GTK_MESSAGE_ERROR ? "! " : "") + s.text);
        }
        EXPECT_EQ(seen, r.dialogs);
        if (r.outcome == refused) {
            EXPECT_EQ(list_dir("."), before);
        }
        // Staged in a folder of its own: the working folder never gets the arena script.
        EXPECT_NE(access(("scripts/" + std::string(r.name) + ".arena").c_str(), F_OK), 0);
        EXPECT_EQ(read_zip_with_python(std::string(r.name) + ".pk3").ok, r.outcome == packed);
    }
    destroy_form(f);
}

} // namespace
