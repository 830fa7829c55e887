#include "support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

temp_dir::temp_dir() {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd))
        throw std::runtime_error("getcwd failed");
    old_cwd = cwd;
    std::string pattern = "/tmp/mapcrate-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
    if (chdir(path.c_str()) != 0)
        throw std::runtime_error("chdir failed");
}

temp_dir::~temp_dir() {
    if (chdir(old_cwd.c_str()) != 0)
        return;
    run_program({"rm", "-rf", path});
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string &path, std::string_view data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

bool path_exists(const std::string &path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool is_directory(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> list_dir(const std::string &path) {
    std::vector<std::string> names;
    if (DIR *d = opendir(path.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

static std::string drain(int fd) {
    std::string s;
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<size_t>(n));
    return s;
}

run_result run_program(const std::vector<std::string> &args, std::string_view input) {
    // Standard output and error go to temporary files, so a chatty child
    // can never block on a full pipe while we feed its input.
    char out_name[] = "/tmp/mapcrate-out-XXXXXX";
    char err_name[] = "/tmp/mapcrate-err-XXXXXX";
    char in_name[] = "/tmp/mapcrate-in-XXXXXX";
    int out_fd = mkstemp(out_name), err_fd = mkstemp(err_name), in_fd = mkstemp(in_name);
    unlink(out_name);
    unlink(err_name);
    unlink(in_name);
    if (write(in_fd, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        throw std::runtime_error("cannot stage standard input");
    lseek(in_fd, 0, SEEK_SET);

    run_result r;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    lseek(out_fd, 0, SEEK_SET);
    lseek(err_fd, 0, SEEK_SET);
    r.out = drain(out_fd);
    r.err = drain(err_fd);
    close(in_fd);
    close(out_fd);
    close(err_fd);
    return r;
}

static std::vector<std::string> split(const std::string &s, char sep) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

static std::string unhex(const std::string &h) {
    std::string s;
    for (size_t i = 0; i + 1 < h.size(); i += 2)
        s += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return s;
}

zip_reading read_zip_with_python(const std::string &archive) {
    char dir[] = "/tmp/mapcrate-unzip-XXXXXX";
    if (!mkdtemp(dir))
        throw std::runtime_error("mkdtemp failed");
    run_result r = run_program(
        {"python3", MAPCRATE_SOURCE_DIR "/tests/zipinfo.py", archive, dir});
    zip_reading z;
    std::vector<std::string> lines = split(r.out, '\n');
    if (r.status != 0 || lines.empty() || lines[0] != "ok") {
        z.problem = r.out + r.err;
    } else {
        z.ok = true;
        for (size_t i = 1; i < lines.size(); ++i) {
            if (lines[i].empty())
                continue;
            std::vector<std::string> f = split(lines[i], '\t');
            zip_entry e;
            e.name = unhex(f.at(0));
            e.method = std::stoi(f.at(1));
            e.crc = static_cast<uint32_t>(std::stoul(f.at(2), nullptr, 16));
            e.size = std::stoull(f.at(3));
            for (int k = 0; k < 6; ++k)
                e.date_time[k] = std::stoi(f.at(4 + k));
            e.data = read_file(std::string(dir) + "/" + std::to_string(i - 1));
            z.entries.push_back(e);
        }
    }
    run_program({"rm", "-rf", dir});
    return z;
}

bool unzip_test_passes(const std::string &archive) {
    return run_program({"unzip", "-t", "-q", archive}).status == 0;
}
