// Clean-up at Quit: what the form record owns.  Execute stages in a
// private folder it removes itself, so no file of the working folder is
// the program's to remove: a user's own maps/ or mapcrate stays.
#include "mapcrate.h"

namespace {

void release(std::string &s) {
    std::string().swap(s);
}

} // namespace

void free_all(form_record *f) {
    f->plan = package_plan();
    release(f->map_prefix);
    std::vector<std::string>().swap(f->pack_argv);
    release(f->stage_dir);
}
