// mapcrate --check PACKAGE: the check's findings, one a line, on standard
// output; --quiet keeps only the findings.
#include <cstdio>
#include <initializer_list>

#include "check/check.h"
#include "cli/cli.h"
#include "level/game_files.h"
#include "gamepath/game_path.h"
#include "report/shown.h"
#include "verify/verify.h"

namespace {

// One line of pieces that alternate: ISO-8859-1 text in the locale's
// encoding, then a name as shown() writes it.
void print_line(std::initializer_list<std::string> pieces) {
    std::string line;
    bool name = false;
    for (const std::string &piece : pieces) {
        line += name ? shown(piece) : in_locale(piece);
        name = !name;
    }
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

// A line made whole elsewhere, the program's text around names, shown as
// the plan's notes are.
void print_note(const std::string &note) {
    std::string line = shown(as_utf8(note)) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

void print_finding(const finding &f) {
    switch (f.kind) {
    case finding_kind::missing:
        print_line({"Introuvable : ", f.name});
        break;
    case finding_kind::unreadable:
        print_line({"Illisible par le jeu : ", f.name, " : " + f.reason, f.other});
        break;
    case finding_kind::game_owned:
        print_line({"Deja dans le jeu : ", f.name});
        break;
    case finding_kind::unused:
        print_line({"Inutilise : ", f.name});
        break;
    case finding_kind::replaces_game:
        print_line({"Remplace un fichier du jeu : ", f.name, " (", f.other, ")"});
        break;
    case finding_kind::game_code:
        print_line({"Code du jeu remplac\xe9 : ", f.name});
        break;
    case finding_kind::too_big:
        print_note(big_script_note(f.name));
        break;
    }
}

} // namespace

int check_command(const cli_options &o) {
    package_check check = check_package(o.check, o.game);
    if (!check.failure.empty()) {
        // The system's words come in the locale's encoding, the program's in ISO-8859-1.
        tell("Paquet illisible (" + latin1_path(check.failure) + ") : ", o.check);
        return exit_unreadable_package;
    }
    if (!check.game_found)
        tell("Fichiers du jeu introuvables : les fichiers introuvables ne sont pas cherch\xe9s "
             "et rien n'est d\xe9j\xe0 dans le jeu.");
    else if (!o.quiet)
        print_line({"Fichiers du jeu : ", check.game_dir,
                    " (" + std::to_string(check.game_file_count) + " fichiers)"});
    for (const std::string &note : check.notes)
        print_note(note);
    size_t found = check.findings.size();
    for (const map_check &map : check.maps) {
        if (!o.quiet)
            print_line({"Map : ", map.name});
        for (const finding &f : map.findings)
            print_finding(f);
        found += map.findings.size();
    }
    for (const finding &f : check.findings)
        print_finding(f);
    for (const std::string &line : check.conflicts)
        print_line({"", line});
    found += check.conflicts.size();
    if (found == 0 && !o.quiet)
        print_line({"Rien \xe0 signaler."});
    std::fflush(stdout);
    // The game's own verdict comes after the check's, and outranks it.
    if (o.verify)
        if (int status = tell_verify(verify_package(o.check), o.check, o.quiet);
            status != exit_packed)
            return status;
    return found == 0 ? exit_packed : exit_refused;
}
