// The two generated files of the staging tree: the arena script the game
// reads and the credits file at the archive's root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "copy_file.h"
#include "mapcrate.h"

namespace {

// Both files are text files with CR LF line ends, as the game's platform
// writes them; Linux has no text mode, so the pairs are spelled out.
const char *const mode_tokens[8] = {"ffa ",     "team ", "ctf ", "single ",
                                    "tourney ", "ca ",   "1v1 ", "2v2 "};

const char *const credits_text = "pk3 creer avec Mapcrate v0.1\r\n"
                                 "http://mapcrate.example.org/\r\n"
                                 "\r\n"
                                 "Mapcrate (c) 2026 son auteur\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "Merci a l'auteur de minizip\r\n"
                                 "https://www.zlib.net/";

// The game reads double quotes as the ends of a value, so one inside the
// text would cut it; line feeds get the carriage return of text mode.
std::string arena_value(const char *text) {
    std::string v;
    for (const char *p = text; *p; ++p) {
        if (*p == '"')
            v += '\'';
        else if (*p == '\n')
            v += "\r\n";
        else
            v += *p;
    }
    return v;
}

int open_generated(const char *path) {
    return open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
}

} // namespace

long my_putstr_to_fd(const char *text, int fd) {
    return static_cast<long>(write(fd, text, std::strlen(text)));
}

void gener_scripts(form_record *f) {
    std::printf("Creation du dossier : scripts/\n\n");
    std::fflush(stdout);
    mkdir("scripts/", 0755);

    std::string path;
    str_end_cpy(path, "scripts/");
    str_end_cpy(path, f->map_name);
    str_end_cpy(path, ".arena");
    std::printf("Creation du fichier : %s\n\n", path.c_str());
    std::fflush(stdout);

    {
        fd_owner arena{open_generated(path.c_str())};
        if (arena.fd >= 0) {
            my_putstr_to_fd("{\r\nmap \"", arena.fd);
            my_putstr_to_fd(arena_value(f->map_name).c_str(), arena.fd);
            my_putstr_to_fd("\"\r\nbots \"phobos\"\r\nlongname \"", arena.fd);
            my_putstr_to_fd(arena_value(f->description).c_str(), arena.fd);
            my_putstr_to_fd("\"\r\nfraglimit 20\r\ntimelimit 60\r\ntype \"", arena.fd);
            for (int i = 0; i < 8; ++i)
                if (f->mode_states[i] != 0)
                    my_putstr_to_fd(mode_tokens[i], arena.fd);
            my_putstr_to_fd("\"\r\n}\r\n", arena.fd);
        }
    }

    fd_owner credits{open_generated("mapcrate")};
    if (credits.fd >= 0)
        my_putstr_to_fd(credits_text, credits.fd);
}
