// Execute's first step: a snapshot of the form, then its rules and the
// questions about it.  Nothing here shows or prints: the front ends do.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "copy_file.h"
#include "level_checks.h"
#include "mapcrate.h"

namespace {

// A client asks a server for the map's package as "baseoa/<name>.pk3" in at
// most 63 bytes (MAX_QPATH), the console splits a name at a blank or a byte
// outside ASCII, and the menu types "map <name>", where a ';' would start
// another command.
bool game_can_load(const char *map_name) {
    size_t n = std::strlen(map_name);
    if (n > map_name_limit)
        return false;
    for (const char *p = map_name; *p; ++p) {
        char c = *p;
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && !std::strchr("-_.", c))
            return false;
    }
    return true;
}

// The first rule the form fails; path gets the file it refused.
std::optional<form_rule> first_failed_rule(const form_record *f, std::string &path) {
    if (f->textures_dir[0] != '\0' && !opens_as_folder(f->textures_dir))
        return form_rule::textures_not_folder;
    for (const char *file : {f->bsp_path, f->aas_path, f->levelshot_path})
        if (file[0] != '\0' && !opens_as_file(file)) {
            path = file;
            return form_rule::file_unreadable;
        }
    if (f->bsp_path[0] == '\0' || f->map_name[0] == '\0')
        return form_rule::mandatory_missing;
    if (!game_can_load(f->map_name))
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

void get_field(form_record *f) {
    for (int i = 0; i < 8; ++i)
        f->mode_states[i] = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(f->mode_buttons[i]));
    f->textures_dir = gtk_entry_get_text(GTK_ENTRY(f->textures_entry));
    f->bsp_path = gtk_entry_get_text(GTK_ENTRY(f->bsp_entry));
    f->aas_path = gtk_entry_get_text(GTK_ENTRY(f->aas_entry));
    f->levelshot_path = gtk_entry_get_text(GTK_ENTRY(f->levelshot_entry));
    f->map_name = gtk_entry_get_text(GTK_ENTRY(f->map_name_entry));
    f->description = gtk_entry_get_text(GTK_ENTRY(f->description_entry));
}

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

request_check verif_field(const form_record *f) {
    request_check check;
    std::string path;
    if (std::optional<form_rule> rule = first_failed_rule(f, path)) {
        check.failed = failed_rule{*rule, rule_message(*rule), path};
        return check;
    }
    for (level_problem p : level_problems(f->bsp_path, f->aas_path, f->levelshot_path))
        check.questions.push_back(question_about(p));
    bool any_mode = false;
    for (int32_t state : f->mode_states)
        any_mode = any_mode || state == 1;
    if (!any_mode)
        check.questions.push_back({question_kind::no_game_mode,
                                   "Aucun mode de jeu n'a \xe9t\xe9 choisis, le pk3 n'apparaitre "
                                   "dans aucune cat\xe9gorie."});
    return check;
}
