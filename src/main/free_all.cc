// Clean-up at Quit: the empty staging directories, the credits file, and
// what the form record owns.
#include <sys/stat.h>
#include <unistd.h>

#include "mapcrate.h"

namespace {

// The credits file shares its name with the program: started from its own
// folder, Quit must not delete the running executable.
bool is_running_program(const char *path) {
    struct stat file, self;
    return stat(path, &file) == 0 && stat("/proc/self/exe", &self) == 0 &&
           file.st_dev == self.st_dev && file.st_ino == self.st_ino;
}

void release(std::string &s) {
    std::string().swap(s);
}

} // namespace

void free_all(form_record *f) {
    // rmdir only takes empty directories: staged files stay.
    rmdir("levelshots/");
    rmdir("maps/");
    rmdir("scripts/");
    rmdir("textures/");
    for (const std::string &dir : f->made_top_dirs)
        rmdir(dir.c_str());
    std::vector<std::string>().swap(f->made_top_dirs);
    f->plan = package_plan();
    if (!is_running_program("mapcrate"))
        unlink("mapcrate");
    release(f->map_prefix);
    for (std::string &s : f->pack_argv)
        release(s);
    std::vector<std::string>().swap(f->pack_argv);
    release(f->textures_staging_dir);
    release(f->scripts_staging_dir);
    release(f->maps_staging_dir);
    release(f->levelshots_staging_dir);
}
