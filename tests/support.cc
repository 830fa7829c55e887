#include "support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "io/io.h"

namespace fs = std::filesystem;

temp_dir::temp_dir()
    : path(fs::temp_directory_path() / "mapcrate-test-XXXXXX"), old_cwd(fs::current_path()) {
    if (!mkdtemp(path.data()))
        throw std::runtime_error("mkdtemp failed");
    fs::current_path(path);
}

temp_dir::~temp_dir() {
    std::error_code ignored;
    fs::current_path(old_cwd, ignored);
    fs::remove_all(path, ignored);
}

std::string read_file(const std::string &path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

void write_file(const std::string &path, std::string_view data) {
    std::error_code ignored;
    fs::create_directories(fs::path(path).parent_path(), ignored);
    std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(data.size()));
}

std::vector<std::string> words(const std::string &text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

std::vector<std::string> list_dir(const std::string &path) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const fs::directory_entry &e : fs::directory_iterator(path, missing))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string le32(size_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string test_bsp(const char *magic, uint32_t version) {
    return magic + le32(version) + std::string(17 * 8, '\0');
}

std::string test_aas(uint32_t checksum, uint32_t version, const char *magic) {
    std::string h = magic + le32(version) + le32(checksum) + std::string(14 * 8, '\0');
    for (size_t i = 0; version == 5 && i < 116; ++i)
        h[8 + i] = char(h[8 + i] ^ (i * 119));
    return h;
}

std::string jpeg(int side, bool grey) {
    std::string ppm = "P6 " + std::to_string(side) + " " + std::to_string(side) + " 255\n";
    ppm.append(side * side * 3, char(200));
    return run_program({"cjpeg", grey ? "-grayscale" : "-baseline"}, ppm).out;
}

pid_t start_program(const std::vector<std::string> &args, const std::vector<int> &fds) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        for (int i = 0; i < 3; ++i)
            dup2(fds[i], i);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

run_result run_program(const std::vector<std::string> &args, std::string_view input) {
    // Nameless files, not pipes: the child never blocks on a full one.
    fd_owner fds[3];
    for (fd_owner &f : fds)
        f.fd = open(fs::temp_directory_path().c_str(), O_TMPFILE | O_RDWR, 0600);
    if (pwrite(fds[0].fd, input.data(), input.size(), 0) != static_cast<ssize_t>(input.size()))
        throw std::runtime_error("cannot stage standard input");
    pid_t pid = start_program(args, {fds[0].fd, fds[1].fd, fds[2].fd});
    int status = 0;
    waitpid(pid, &status, 0);
    auto text = [&](int i) { return read_file("/proc/self/fd/" + std::to_string(fds[i].fd)); };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), text(1), text(2)};
}

zip_reading read_zip_with_python(const std::string &archive, const std::string &password) {
    run_result r =
        run_program({"python3", MAPCRATE_SOURCE_DIR "/tests/zipinfo.py", archive, password});
    zip_reading z{r.status == 0, r.err, {}};
    std::istringstream out(r.out);
    size_t name_size = 0;
    for (zip_entry e; z.ok && out >> e.method >> e.size;) {
        for (int &field : e.date_time)
            out >> field;
        out >> e.flags >> name_size;
        out.ignore(); // the line's end
        e.name.resize(name_size);
        e.data.resize(e.size);
        out.read(e.name.data(), std::streamsize(name_size))
            .read(e.data.data(), std::streamsize(e.size));
        z.entries.push_back(e);
    }
    return z;
}

std::string level_bytes(const std::vector<std::string> &shaders,
                        const std::vector<std::string> &fogs, const std::string &entities) {
    std::string lumps[17], out = "IBSP" + le32(46);
    lumps[0] = entities;
    for (int l : {1, 12})
        for (const std::string &n : l == 1 ? shaders : fogs)
            lumps[l] += n + std::string(72 - n.size(), '\0');
    for (size_t i = 0, offset = 8 + 17 * 8; i < 17; offset += lumps[i++].size())
        out += le32(offset) + le32(lumps[i].size());
    for (const std::string &lump : lumps)
        out += lump;
    return out;
}

std::string md3_bytes(const std::vector<std::vector<std::string>> &surfaces) {
    std::string m = "IDP3" + le32(15) + std::string(76, '\0') + le32(surfaces.size()) +
                    std::string(12, '\0') + le32(108) + std::string(4, '\0');
    for (const std::vector<std::string> &names : surfaces) {
        m += "IDP3" + std::string(72, '\0') + le32(names.size()) + std::string(12, '\0') +
             le32(108) + std::string(8, '\0') + le32(108 + names.size() * 68);
        for (const std::string &n : names)
            m += n + std::string(68 - n.size(), '\0');
    }
    return m;
}

void write_zip(const std::string &path, const std::vector<std::string> &names_and_data) {
    std::vector<std::string> args = {"python3", "-c",
                                     "import os, sys, zipfile\n"
                                     "with zipfile.ZipFile(sys.argv[1], 'w', 8) as z:\n"
                                     "    for n, d in zip(sys.argv[2::2], sys.argv[3::2]):\n"
                                     "        s = os.path.basename(n).split('.')[0]\n"
                                     "        z.writestr(n, (s + ' { map ' + s + ' }').ljust("
                                     "int(d[1:])) if d[:1] == '=' else d)",
                                     path};
    args.insert(args.end(), names_and_data.begin(), names_and_data.end());
    if (run_program(args).status != 0)
        throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> zip_names(const std::string &archive) {
    run_result r = run_program({"unzip", "-Z1", archive});
    return r.status == 0 ? words(r.out) : std::vector<std::string>{};
}

std::vector<std::string> write_game_and_author() {
    fs::create_directories("baseoa");
    write_zip("baseoa/pak0.pk3",
              {"scripts/a.shader", "textures/s/x { { map textures/s/game.tga } }",
               "textures/s/game.tga", "G"});
    write_zip("baseoa/z_other.pk3", {"textures/set/a.tga", "other", "textures/set/b.tga", "BB"});
    write_file("g/scripts/b.shader", "textures/s/x { { map textures/s/mine.tga } }");
    write_file("g/textures/s/mine.tga", "mine");
    write_file("g/textures/s/own.tga", "own");
    write_file("g/textures/set/a.tga", "AAAA");
    write_file("g/textures/set/b.tga", "BB");
    write_file("l.bsp",
               level_bytes({"textures/s/x", "textures/s/own", "textures/set/a", "textures/set/b"}));
    return {"Shader deja defini par le jeu, le votre est ignore : textures/s/x (scripts/a.shader, "
            "scripts/b.shader)",
            "Conflit : textures/set/a.tga existe aussi dans baseoa/z_other.pk3, avec un autre "
            "contenu ; le jeu prendra celui de ce pk3"};
}

std::vector<std::string> folder_snapshot(const std::string &left_out) {
    std::vector<std::string> seen;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(".")) {
        struct stat st {};
        lstat(e.path().c_str(), &st);
        std::string line = e.path().string() + " ";
        if (e.is_symlink())
            line += "-> " + fs::read_symlink(e.path()).string();
        else if (e.is_regular_file())
            line += std::to_string(st.st_ino) + " " + std::to_string(st.st_mtim.tv_nsec) + " " +
                    std::to_string(st.st_mtim.tv_sec) + " " + read_file(e.path());
        if (e.path() != "./" + left_out)
            seen.push_back(line);
    }
    std::sort(seen.begin(), seen.end());
    return seen;
}
