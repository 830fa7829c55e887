// mapcrate-pack: the packer as a command, for build scripts.
#include "mapcrate.h"

int main(int argc, char **argv) {
    return pk3_dir(argc, argv);
}
