// mapcrate-pack: the packer as a command, for build scripts.
#include <csignal>

#include "minizip/pk3_dir.h"

int main(int argc, char **argv) {
    std::signal(SIGXFSZ, SIG_IGN); // a write past the file-size limit fails like a full disk
    return pk3_dir(argc, argv);
}
