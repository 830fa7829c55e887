// Started from the menu, Mapcrate works in a folder of the home folder.
// Whatever is in the way, the window opens: a dialog says why the folder
// was not used.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "main/home_folder.h"

report enter_home_folder() {
    const char *name = std::getenv("MAPCRATE_HOME_FOLDER");
    if (!name || name[0] == '\0')
        return {};
    const char *home = std::getenv("HOME");
    std::string folder = std::string(home ? home : "") + "/" + name;
    int err = 0;
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        err = errno;
    else if (chdir(folder.c_str()) != 0)
        err = errno;
    if (err == 0)
        return {};
    std::string here;
    if (char *cwd = getcwd(nullptr, 0)) {
        here = cwd;
        std::free(cwd);
    }
    report problem = report_of(msg::home_folder_unusable, step_id::none, folder);
    problem.why = std::strerror(err);
    problem.other = here;
    return problem;
}
