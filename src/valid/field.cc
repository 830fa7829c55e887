// Execute's first two steps: a snapshot of the form, then its rules.
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

#include "copy_file.h"
#include "level_checks.h"
#include "mapcrate.h"

namespace {

const char *const folder_message = "Veuillez selectionner un dossier valide pour les textures";
const char *const file_message = "Impossible d'ouvrir le fichier.\nVerifiez son existance ou qu'il "
                                 "n'y ai pas de caracteres accentu\xe9s.";
const char *const mandatory_message = "Rev\xe9rifiez les champs en Rouge, ils sont obligatoires.";
// The map name becomes file names inside the staging tree and the package
// name in the working folder: a separator would place them elsewhere.
const char *const map_name_message = "Le nom de la map ne doit contenir ni \"/\" ni \"\\\".";
const char *const no_mode_question = "Aucun mode de jeu n'a \xe9t\xe9 choisis, le pk3 n'apparaitre "
                                     "dans aucune cat\xe9gorie.\nVoulez-vous continuer ?";

const char *question_about(level_problem p) {
    switch (p) {
    case level_problem::bsp_not_level:
        return "Le fichier BSP n'est pas une map compil\xe9"
               "e pour le jeu (IBSP, version 46).\nVoulez-vous continuer ?";
    case level_problem::aas_not_navigation:
        return "Le fichier AAS n'est pas un fichier de navigation des bots (EAAS, version "
               "5).\nVoulez-vous continuer ?";
    case level_problem::aas_for_another_bsp:
        return "Le fichier AAS a \xe9t\xe9 calcul\xe9 pour une autre compilation de la map : les "
               "bots ne pourront pas y jouer.\nVoulez-vous continuer ?";
    case level_problem::levelshot_not_128_jpeg:
        return "Le levelshot n'est pas une image JPEG de 128\xd7"
               "128 pixels en 24 bits.\nVoulez-vous continuer ?";
    }
    return "";
}

// No answer but an explicit No stops: closing the question means go on.
bool user_goes_on(GtkWidget *window, const char *latin1_question) {
    std::string text = to_utf8(latin1_question);
    GtkWidget *q =
        gtk_message_dialog_new(window ? GTK_WINDOW(window) : nullptr, GTK_DIALOG_MODAL,
                               GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, "%s", text.c_str());
    gint answer = gtk_dialog_run(GTK_DIALOG(q));
    gtk_widget_destroy(q);
    return answer != GTK_RESPONSE_NO;
}

} // namespace

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
    DIR *d = opendir(path);
    if (!d)
        return false;
    closedir(d);
    return true;
}

// The same test as the copy makes: a named pipe is refused rather than
// waited on, and only a regular file can go into the package.
bool opens_as_file(const char *path) {
    struct stat st;
    fd_owner fd{open_as_file(path, st)};
    return fd.fd >= 0;
}

int is_a_file(const char *path) {
    bool ok = opens_as_file(path);
    if (!ok)
        popup(file_message, 0);
    return ok ? 1 : 0;
}

int verif_field(form_record *f) {
    if (f->textures_dir[0] != '\0' && !opens_as_folder(f->textures_dir)) {
        popup(folder_message, 0);
        return 0;
    }
    for (const char *path : {f->bsp_path, f->aas_path, f->levelshot_path})
        if (path[0] != '\0' && !is_a_file(path))
            return 0;
    if (f->bsp_path[0] == '\0' || f->map_name[0] == '\0') {
        popup(mandatory_message, 0);
        return 0;
    }
    if (std::strpbrk(f->map_name, "/\\")) {
        popup(map_name_message, 0);
        return 0;
    }
    for (level_problem p : level_problems(f->bsp_path, f->aas_path, f->levelshot_path))
        if (!user_goes_on(f->window, question_about(p)))
            return 0;
    plan_form(f);
    if (f->plan.game_found && !f->plan.missing.empty() &&
        !user_goes_on(f->window, missing_files_question(f->plan.missing).c_str()))
        return 0;
    for (int32_t state : f->mode_states)
        if (state == 1)
            return 1;
    return user_goes_on(f->window, no_mode_question) ? 1 : 0;
}
