// Making, finding and removing the private staging folders.
#include "stage_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "minizip/signals.h"

const char stage_template[] = ".mapcrate-stage-XXXXXX";

namespace {

constexpr size_t prefix_size = sizeof stage_template - 1 - 6;

int open_folder(const char *path) {
    return open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A run killed outright (SIGKILL, a power cut) leaves its folder unlocked.
void remove_abandoned_stages() {
    dir_owner listing{opendir(".")};
    while (dirent *e = listing.d ? readdir(listing.d) : nullptr) {
        if (std::strncmp(e->d_name, stage_template, prefix_size) != 0 ||
            std::strlen(e->d_name) != sizeof stage_template - 1)
            continue;
        fd_owner held{open_folder(e->d_name)};
        std::error_code ignored;
        if (held.fd >= 0 && flock(held.fd, LOCK_EX | LOCK_NB) == 0)
            std::filesystem::remove_all(e->d_name, ignored);
    }
}

} // namespace

stage_folder::~stage_folder() {
    if (path.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    set_signal_stage(nullptr);
}

int make_stage_folder(stage_folder &stage) {
    remove_abandoned_stages();
    for (;;) {
        signals_held hold;
        std::string name = stage_template;
        if (!mkdtemp(&name[0]))
            return errno;
        // Locked before it is known as ours: another run may have taken it
        // for an abandoned one and removed it meanwhile.
        fd_owner fd{open_folder(name.c_str())};
        if (fd.fd < 0 && errno == ENOENT)
            continue;
        int err = lock_if_still_there(fd.fd, name.c_str());
        if (err < 0)
            continue;
        if (err != 0) {
            rmdir(name.c_str());
            return err;
        }
        stage.lock = std::move(fd);
        stage.path = name + '/';
        set_signal_stage(name.c_str());
        return 0;
    }
}
