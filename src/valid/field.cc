// Execute's first step: the request's rules and the questions about it.
// Nothing here shows or prints: the front ends do.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "gamepath/game_path.h"
#include "io/io.h"
#include "valid/field.h"
#include "valid/level_checks.h"

namespace {

// A client asks a server for the map's package as "baseoa/<name>.pk3" in at
// most 63 bytes (MAX_QPATH), the console splits a name at a blank or a byte
// outside ASCII, and the menu types "map <name>", where a ';' would start
// another command.
bool game_can_load(const std::string &map_name) {
    if (map_name.size() > map_name_limit)
        return false;
    for (char c : map_name) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && !std::strchr("-_.", c))
            return false;
    }
    return true;
}

// The first rule the form fails; path gets the file it refused.
std::optional<form_rule> first_failed_rule(const pack_request &r, std::string &path) {
    if (!r.textures_dir.empty() && !opens_as_folder(r.textures_dir.c_str()))
        return form_rule::textures_not_folder;
    for (const std::string *file : {&r.bsp_path, &r.aas_path, &r.levelshot_path})
        if (!file->empty() && !opens_as_file(file->c_str())) {
            path = *file;
            return form_rule::file_unreadable;
        }
    if (r.bsp_path.empty() || r.map_name.empty())
        return form_rule::mandatory_missing;
    if (!game_can_load(r.map_name))
        return form_rule::map_name_unloadable;
    return std::nullopt;
}

question question_about(level_problem p) {
    switch (p) {
    case level_problem::bsp_not_level:
        return {question_kind::bsp_not_level, "Le fichier BSP n'est pas une map compil\xe9"
                                              "e pour le jeu (IBSP, version 46)."};
    case level_problem::aas_not_navigation:
        return {question_kind::aas_not_navigation,
                "Le fichier AAS n'est pas un fichier de navigation des bots (EAAS, version 5)."};
    case level_problem::aas_for_another_bsp:
        return {question_kind::aas_for_another_bsp,
                "Le fichier AAS a \xe9t\xe9 calcul\xe9 pour une autre compilation de la map : les "
                "bots ne pourront pas y jouer."};
    case level_problem::levelshot_not_128_jpeg:
        break;
    }
    return {question_kind::levelshot_not_128_jpeg,
            "Le levelshot n'est pas une image JPEG de 128\xd7"
            "128 pixels en 24 bits."};
}

} // namespace

const char *const go_on_text = "Voulez-vous continuer ?";

bool opens_as_folder(const char *path) {
    dir_owner d{opendir(path)};
    return d.d != nullptr;
}

// The same test as the copy makes: a named pipe is refused rather than
// waited on, and only a regular file can go into the package.
bool opens_as_file(const char *path) {
    struct stat st;
    fd_owner fd{open_as_file(path, st)};
    return fd.fd >= 0;
}

const char *rule_message(form_rule rule) {
    switch (rule) {
    case form_rule::textures_not_folder:
        return "Veuillez selectionner un dossier valide pour les textures";
    case form_rule::file_unreadable:
        return "Impossible d'ouvrir le fichier.\nVerifiez son existance ou qu'il n'y ai pas de "
               "caracteres accentu\xe9s.";
    case form_rule::mandatory_missing:
        return "Rev\xe9rifiez les champs en Rouge, ils sont obligatoires.";
    case form_rule::map_name_unloadable:
        break;
    }
    return "Le nom de la map doit faire au plus 52 caract\xe8res, pris parmi les lettres sans "
           "accent, les chiffres, - _ et . : le jeu ne pourrait pas la charger.";
}

request_check verif_field(const pack_request &request) {
    request_check check;
    std::string path;
    if (std::optional<form_rule> rule = first_failed_rule(request, path)) {
        check.failed = failed_rule{*rule, rule_message(*rule), path};
        return check;
    }
    for (level_problem p : level_problems(request.bsp_path.c_str(), request.aas_path.c_str(),
                                          request.levelshot_path.c_str()))
        check.questions.push_back(question_about(p));
    bool any_mode = false;
    for (bool on : request.modes)
        any_mode = any_mode || on;
    if (!any_mode)
        check.questions.push_back({question_kind::no_game_mode,
                                   "Aucun mode de jeu n'a \xe9t\xe9 choisis, le pk3 n'apparaitre "
                                   "dans aucune cat\xe9gorie."});
    return check;
}
