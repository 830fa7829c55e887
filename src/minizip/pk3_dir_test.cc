// The packer as a command and in-process (where small memory limits send
// small files down every way of deflating), read back by unzip and Python.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "io/io.h"
#include "packlist/pack_argv.h"
#include "pk3_dir.h"
#include "support.h"
#include "terminal/printer.h"

namespace {

namespace fs = std::filesystem;
using strings = std::vector<std::string>;
const std::string ask = "The file x.zip exists. Overwrite ? [y]es, [n]o, [a]ppend : ";
const pack_limits roomy{32768, 16384, 1 << 20}, one_at_a_time{65536, 16384, 1},
    bytewise{1, 1, 1 << 20};

struct row {
    strings args;
    std::string printed;  // after the banner
    strings entries = {}; // of the archive made; a row that prints "error" changes no file
    int method = 8;
    std::string input = "";              // typed; in-process, the file whose read fails half-way
    const pack_limits *limits = nullptr; // in-process with these limits
};

report last_failure;                // of the last in-process pack
std::vector<uint64_t> last_advance; // its files and bytes done, of the totals

// The one file whose read fails half-way, once: fread returns half of its
// first chunk with EIO, and the reads after it go on from there.
std::string failing_file;

} // namespace

extern "C" size_t fread(void *__restrict buf, size_t size, size_t n, FILE *__restrict f) {
    using fread_fn = size_t (*)(void *, size_t, size_t, FILE *);
    static const auto real = reinterpret_cast<fread_fn>(dlsym(RTLD_NEXT, "fread"));
    size_t got = real(buf, size, n, f);
    if (failing_file.empty() ||
        fs::read_symlink("/proc/self/fd/" + std::to_string(fileno(f))) != failing_file)
        return got;
    failing_file.clear();
    errno = EIO;
    return got / 2;
}

namespace {

// The packer's status, and what it printed after its two-line banner.
run_result pack(row r) {
    run_result res;
    last_failure = {};
    last_advance = {};
    if (r.limits) {
        r.args.insert(r.args.begin(), "pack");
        failing_file = r.input.empty() ? "" : fs::absolute(r.input).string();
        progress_sink sink;
        sink.tell = [&](const report &told) { res.out += terminal_text(told) + "\n"; };
        sink.advance = [](uint64_t files, uint64_t of_files, uint64_t bytes, uint64_t of_bytes) {
            last_advance = {files, of_files, bytes, of_bytes};
        };
        // The status the command would end with.
        res.status = pack_with_limits(int(r.args.size()), argv_view(r.args).data(), *r.limits, sink,
                                      &last_failure) &
                     0xff;
    } else {
        // "--fsize=N" first caps the bytes written to a file: the packer
        // must then see writes fail, not die of the signal that comes.
        r.args.insert(r.args.begin() + (r.args[0].rfind("--fsize=", 0) == 0), MAPCRATE_PACK);
        r.args.insert(r.args.begin(), "prlimit");
        res = run_program(r.args, r.input);
    }
    res.out = res.out.substr(
        std::min(res.out.size(), res.out.find("\n\n", res.out.find("1.01b")) + 2)); // banner
    if (r.printed.size() > 5 && r.printed.substr(r.printed.size() - 5) == "Usage")
        res.out = res.out.substr(0, r.printed.size()); // the usage text itself is not checked
    return res;
}

// Entries hold their files' bytes, and their times as MS-DOS holds them:
// local, to 2 s, and clamped (not wrapped) before 1980.
void read_back(const std::string &archive, const row &r) {
    const bool encrypted = std::count(r.args.begin(), r.args.end(), "secret");
    const std::string password = encrypted ? "secret" : "";
    EXPECT_EQ(run_program({"unzip", "-P", password, "-tq", archive}).status, 0);
    zip_reading z = read_zip_with_python(archive, password);
    EXPECT_TRUE(z.ok) << z.problem;
    strings got;
    for (const zip_entry &e : z.entries) {
        SCOPED_TRACE(e.name);
        got.push_back(e.name);
        struct stat st;
        struct tm t;
        ASSERT_TRUE(stat(e.name.c_str(), &st) == 0 && localtime_r(&st.st_mtime, &t));
        std::vector<int> when = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                                 t.tm_hour,        t.tm_min,     t.tm_sec / 2 * 2};
        if (t.tm_year < 80)
            when = {1980, 1, 1, 0, 0, 0};
        EXPECT_EQ(std::vector<int>(e.date_time, e.date_time + 6), when);
        EXPECT_EQ(e.data, read_file(e.name));
        EXPECT_EQ(e.method, r.method);
        EXPECT_EQ(e.flags & 1, encrypted);
        // Only whole UTF-8 (not an overlong form) is flagged.
        EXPECT_EQ(e.flags >> 11 & 1, e.name == "\xc3\xa9t\xc3\xa9.jpg");
    }
    EXPECT_EQ(got, r.entries);
}

// Rows run in order in one folder: later rows meet earlier rows' archives.
TEST(Pk3Dir, Rows) {
    temp_dir tmp;
    // Numbers repeat across the 16 KiB pieces; "exact" ends on a boundary.  An archive name
    // that leads to a pipe, another through a link to a regular file.  An odd second: the
    // entry holds the one before.
    ASSERT_EQ(system("mkdir folder real && head -c 300000 /dev/urandom >noise && seq 999 >small &&"
                     "seq 20000 >large && head -c 49152 large >exact && printf 123456789 >f &&"
                     "echo old >real/r.zip && ln -s real/r.zip l.zip && mkfifo p.zip && : >empty &&"
                     "for f in a b -x; do printf %s $f >./$f; done &&"
                     "touch -d @1700000001 a b large && touch -d @86400 empty"),
              0);
    const strings utf8 = {"\xc3\xa9t\xc3\xa9.jpg", "caf\xe9.jpg", "\xc0\xaf"},
                  files = {"small", "large", "empty", "exact"};
    for (const std::string &f : utf8)
        write_file(f, f);
    const std::string cx = "creating x.zip\n", no_file = "No such file or directory\n",
                      sys = "/sys/devices/system/cpu/online",
                      too_large = cx + "error in writing noise in the zipfile\nFile too large\n"
                                       "error in closing x.zip\n",
                      read_fails = "error in reading large\nInput/output error\n";
    // In-process with these limits, the four files after the arguments.
    auto limited = [&](const pack_limits &l, strings args, const std::string &printed,
                       const std::string &input = "", int method = 8) {
        args.insert(args.end(), files.begin(), files.end());
        bool failed = printed.find("error") < printed.size();
        return row{args, printed, failed ? strings{} : files, method, input, &l};
    };
    std::vector<row> rows = {
        {{"-a", "x.zip", "a"}, cx, {"a"}}, // nothing to append to
        {{"-a", "x.zip", "b"}, cx, {"a", "b"}},
        {{"x.zip", "b"}, ask + ask + cx, {"b"}, 8, "x\nyes\n"},
        {{"x.zip", "a"}, ask + cx, {"b", "a"}, 8, "A\n"},
        {{"x.zip", "a"}, ask + "Usage", {}, 8, "n\n"},
        {{"x.zip", "a"}, ask},
        {{"-o", "s.zip", "a", "-o", "/9", "-x", "b"}, "creating s.zip\n", {"a", "-x", "b"}},
        {{"-o", "-9", "-p", "secret", "e.zip", "f", "empty"},
         "creating e.zip\nfile f crc cbf43926\nfile empty crc 0\n",
         {"f", "empty"}},
        {{"-o", "-0", "-p", "secret", "u.zip", utf8[0], utf8[1], utf8[2]},
         "creating u.zip\nfile \xc3\xa9t\xc3\xa9.jpg crc d969a9b7\nfile caf\xe9.jpg crc 14aa6d7f\n"
         "file \xc0\xaf crc cc4a7bc8\n",
         utf8,
         0},
        limited(roomy, {"-o", "-9", "t.zip"}, "creating t.zip\n"),
        limited(one_at_a_time, {"-o", "-1", "t.zip"}, "creating t.zip\n"),
        {{"-o", "l.zip", "a"}, "creating l.zip\n", {"a"}}, // into real/r.zip
        // Any failure leaves the old archive as it was.  A file that does not open has CRC 0.
        {{"-o", "-0", "-p", "secret", "x.zip", "f", "/9", "/x"},
         cx + "file f crc cbf43926\nfile /x crc 0\nerror in opening /x for reading\n" + no_file},
        {{"--fsize=100000", "-o", "-0", "x.zip", "noise"}, too_large},
        {{"--fsize=100000", "-o", "-9", "x.zip", "noise"}, too_large},
        {{"--fsize=300050", "-o", "-0", "x.zip", "noise"},
         cx + "error in closing x.zip\nFile too large\n"},
        {{"-o", "nodir/x.zip", "a"},
         "error opening nodir/x.zip\n" + no_file + "error in closing nodir/x.zip\n"},
        {{"-a", "p.zip", "a"}, "error opening p.zip\nnot a regular file\nerror in closing p.zip\n"},
        // System files hold less than their size says: a piece past the first reads short.
        limited(bytewise, {"-o", "-9", "x.zip", "f", sys},
                cx + "error in reading " + sys + "\nthe file changed while it was read\n"),
        // The entry would look whole to any reader: only the failed read tells.
        limited(roomy, {"-9o0", "x.zip"}, cx + read_fails, "large"),
        // The sums taken first, whole: the reading after them fails.
        limited(roomy, {"-o", "-p", "secret", "x.zip"},
                cx + "file small crc fea1aeda\n" + read_fails +
                    "file large crc 3f94225e\nfile empty crc 0\nfile exact crc f627179f\n",
                "large"),
        // A failure the writer meets in list order, with workers ahead of it.
        limited(roomy, {"-o", "-9", "f.zip"},
                "creating f.zip\nerror in reading folder\nIs a directory\n"),
    };
    strings &ahead = rows.back().args;
    for (int i = 0; i < 40; ++i) {
        ahead.insert(ahead.begin() + 3 + i, i == 20 ? "folder" : "f" + std::to_string(i));
        write_file("f" + std::to_string(i), std::string(i == 5 ? 70000 : 3000 + 99 * i, 'a' + i));
    }
    // Entry times are local: a zone that is not UTC tells the two apart.
    std::string old_tz = getenv("TZ") ? getenv("TZ") : "";
    setenv("TZ", "EST5", 1);
    tzset();
    for (const row &r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.args).substr(0, 200) + " answering " + r.input);
        bool failed = r.printed.find("error") < r.printed.size();
        size_t at = r.printed.find("creating ");
        std::string archive = at < r.printed.size() && !failed
                                  ? r.printed.substr(at + 9, r.printed.find('\n', at) - at - 9)
                                  : "";
        // The file written, through a link when the archive's name is one.
        const std::string written =
            fs::is_symlink(archive) ? fs::read_symlink(archive).string() : archive;
        const strings before = folder_snapshot(written);
        run_result res = pack(r);
        EXPECT_EQ(res.status, failed ? 255 : r.printed == ask);
        EXPECT_EQ(res.out, r.printed);
        // In-process, the failure kept is the line and the reason the packer told.
        const std::string told = terminal_text(last_failure) + "\n" + last_failure.why + "\n";
        EXPECT_EQ(::failed(last_failure) && r.printed.find(told) < r.printed.size(),
                  failed && r.limits);
        if (!archive.empty())
            read_back(archive, r);
        // In-process, each file added is told: at the end, all four and their bytes.
        if (r.limits && !failed) {
            EXPECT_EQ(last_advance, (std::vector<uint64_t>{4, 4, 161934, 161934}));
        }
        // Nothing else appears or changes; no temporary file stays.
        EXPECT_EQ(folder_snapshot(written), before);
    }
    old_tz.empty() ? unsetenv("TZ") : setenv("TZ", old_tz.c_str(), 1);
    tzset();
}

// Measured in a child of its own, whose peak starts where it was forked,
// with a writer that lags: the workers run ahead only as far as the budget,
// never through the 64 MiB of files.  (The sanitizer's allocator would keep
// what is freed: the child is told not to.)
TEST(DeflatePool, PeakMemoryStaysNearItsBudget) {
    if (!getenv("MAPCRATE_POOL_CHILD")) {
        run_result child = run_program({"env", "MAPCRATE_POOL_CHILD=1",
                                        "ASAN_OPTIONS=quarantine_size_mb=0:detect_leaks=0",
                                        fs::read_symlink("/proc/self/exe"),
                                        "--gtest_filter=DeflatePool.PeakMemoryStaysNearItsBudget"});
        EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out;
        return;
    }
    auto peak_kib = [] {
        std::string status = read_file("/proc/self/status");
        return std::stol(status.substr(status.find("VmHWM:") + 6));
    };
    temp_dir tmp;
    ASSERT_EQ(system("for i in 1 2 3 4 5 6 7 8; do head -c 8388608 /dev/urandom >r$i; done"), 0);
    const std::vector<const char *> files = {"r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8"};
    const long before = peak_kib();
    deflate_pool pool;
    pool_start(&pool, files, 1, {1 << 20, 1 << 20, 4 << 20});
    for (size_t i = 0; i < files.size() * 8; ++i) {
        deflated_part *p = pool_front(&pool);
        ASSERT_TRUE(p && p->state == part_state::deflated && p->size == 1 << 20);
        if (i == 0)
            sleep(2);
        pool_drop_front(&pool);
    }
    EXPECT_LT(peak_kib() - before, 12 << 10) << "a budget of 4 MiB";
}

// A pack ended by a signal removes its temporary file and leaves the old
// archive; one that a killed pack left is removed by the next pack, one still
// held is not.  A named pipe in the list holds the pack with its file open.
TEST(Pk3Dir, SignalsAndAbandonedTemporaryFiles) {
    temp_dir tmp;
    ASSERT_EQ(system("mkfifo fifo && echo a >a && echo old >x.zip && "
                     "echo >.mapcrate-pack-killed && echo held >.mapcrate-pack-inuse1"),
              0);
    fd_owner held{open(".mapcrate-pack-inuse1", O_RDONLY)};
    ASSERT_EQ(flock(held.fd, LOCK_EX), 0);
    auto temps = [] {
        strings t = list_dir(".");
        t.erase(
            std::remove_if(t.begin(), t.end(),
                           [](const std::string &n) { return n.rfind(".mapcrate-pack-", 0) != 0; }),
            t.end());
        return t;
    };
    const strings only_held = {".mapcrate-pack-inuse1"};
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(sig);
        fd_owner null{open("/dev/null", O_WRONLY)};
        pid_t pid = start_program(words(MAPCRATE_PACK " -o x.zip a fifo"), {0, null.fd, 2});
        // The pack reads the pipe once its temporary file is made and known to
        // its handlers: a writer held open keeps it waiting there.
        fd_owner writer{-1};
        for (int i = 0; i < 3000 && (writer.fd = open("fifo", O_WRONLY | O_NONBLOCK)) < 0; ++i)
            usleep(10000);
        strings running = temps();
        EXPECT_EQ(running.size(), 2u);
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), 128 + sig);
        EXPECT_EQ(read_file("x.zip"), "old\n");
        EXPECT_EQ(temps(), sig == SIGKILL ? running : only_held);
    }
    EXPECT_EQ(run_program({MAPCRATE_PACK, "-o", "x.zip", "a"}).status, 0);
    EXPECT_EQ(temps(), only_held);
}

} // namespace
