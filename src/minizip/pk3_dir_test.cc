// The packer's small routines, called in-process.
#include "pk3_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

// Runs the test body in a fixed time zone and restores the old one.
struct time_zone {
    std::string old;
    bool had = false;
    explicit time_zone(const char *tz) {
        if (const char *o = getenv("TZ")) {
            old = o;
            had = true;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~time_zone() {
        if (had)
            setenv("TZ", old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
};

void set_mtime(const std::string &path, time_t t) {
    timeval tv[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimes(path.c_str(), tv), 0);
}

uLong dos(int y, int mo, int d, int h, int mi, int s) {
    return (uLong(y - 1980) << 25) | (uLong(mo) << 21) | (uLong(d) << 16) | (uLong(h) << 11) |
           (uLong(mi) << 5) | uLong(s / 2);
}

TEST(FileTime, EncodesLocalMtimeAsDosDateAndTime) {
    temp_dir tmp;
    write_file("f", "x");
    struct row {
        const char *tz;
        time_t mtime;
        uLong expected;
    } rows[] = {
        {"UTC0", 1614834368, dos(2021, 3, 4, 5, 6, 8)}, // 2021-03-04 05:06:08 UTC
        {"UTC0", 1614834369, dos(2021, 3, 4, 5, 6, 8)}, // odd second rounds down
        {"EST5", 1614834368, dos(2021, 3, 4, 0, 6, 8)}, // local, not UTC
        {"UTC0", 315532800, dos(1980, 1, 1, 0, 0, 0)},  // first representable day
        {"UTC0", 946684799, dos(1999, 12, 31, 23, 59, 58)},
        {"UTC0", 86400, dos(1980, 1, 1, 0, 0, 0)}, // 1970 clamps to 1980
    };
    for (const row &r : rows) {
        time_zone zone(r.tz);
        set_mtime("f", r.mtime);
        tm_zip untouched{7, 7, 7, 7, 7, 7};
        uLong dt = 0;
        EXPECT_EQ(filetime("f", &untouched, &dt), 1);
        EXPECT_EQ(dt, r.expected) << r.tz << " " << r.mtime;
        EXPECT_EQ(untouched.tm_sec, 7u);
        EXPECT_EQ(untouched.tm_year, 7u);
    }
}

TEST(FileTime, MissingFileStoresNothing) {
    temp_dir tmp;
    uLong dt = 12345;
    tm_zip tmz{};
    EXPECT_EQ(filetime("absent", &tmz, &dt), 0);
    EXPECT_EQ(dt, 12345u);
}

TEST(CheckExistFile, OpensForReading) {
    temp_dir tmp;
    write_file("there", "");
    EXPECT_EQ(check_exist_file("there"), 1);
    EXPECT_EQ(check_exist_file("absent"), 0);
    EXPECT_EQ(check_exist_file("nodir/absent"), 0);
}

TEST(GetFileCrc, WholeFileInBufferSizedChunks) {
    temp_dir tmp;
    std::string big;
    for (int i = 0; i < 70000; ++i)
        big += static_cast<char>((i * 7919) >> 3);
    write_file("check", "123456789");
    write_file("big", big);
    write_file("empty", "");
    struct row {
        const char *path;
        uLong crc;
        int status;
        const char *printed;
    } rows[] = {
        {"check", 0xcbf43926, 0, "file check crc cbf43926\n"},
        {"big", crc32(0, reinterpret_cast<const Bytef *>(big.data()), uInt(big.size())), 0,
         nullptr},
        {"empty", 0, 0, "file empty crc 0\n"},
        {"absent", 0, -1, "file absent crc 0\n"},
    };
    char buf[1000]; // smaller than big, so it is read in many chunks
    for (const row &r : rows) {
        uLong crc = 99;
        testing::internal::CaptureStdout();
        int status = getFileCrc(r.path, buf, sizeof buf, &crc);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, r.status) << r.path;
        EXPECT_EQ(crc, r.crc) << r.path;
        if (r.printed) {
            EXPECT_EQ(out, r.printed);
        }
    }
}

TEST(GetFileCrc, ReadErrorIsReported) {
    temp_dir tmp;
    ASSERT_EQ(system("mkdir folder"), 0);
    char buf[64];
    uLong crc = 99;
    testing::internal::CaptureStdout();
    int status = getFileCrc("folder", buf, sizeof buf, &crc);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, -1);
    EXPECT_EQ(crc, 0u);
    EXPECT_EQ(out, "error in reading folder\nfile folder crc 0\n");
}

TEST(Texts, UsageAndBanner) {
    testing::internal::CaptureStdout();
    do_help();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Usage : minizip [-o] [-a] [-0 to -9] [-p password] file.zip [files_to_add]\n\n"
              "  -o  Overwrite existing file.zip\n"
              "  -a  Append to existing file.zip\n"
              "  -0  Store only\n"
              "  -1  Compress faster\n"
              "  -9  Compress better\n\n");
    testing::internal::CaptureStdout();
    do_banner();
    std::string banner = testing::internal::GetCapturedStdout();
    EXPECT_NE(banner.find("1.01b"), std::string::npos);
    // Two lines and an empty one.
    ASSERT_GE(banner.size(), 2u);
    EXPECT_EQ(banner.substr(banner.size() - 2), "\n\n");
    EXPECT_EQ(std::count(banner.begin(), banner.end(), '\n'), 3);
}

// With the heap exhausted the packer gives up before touching any file.
TEST(Pk3Dir, AllocationFailure) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator does not honour the data limit";
#else
    temp_dir tmp;
    write_file("f", "x");
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        int out = open("out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        rlimit none{0, 0};
        if (setrlimit(RLIMIT_DATA, &none) != 0)
            _exit(90);
        // Take every block there is, largest first.  mallopt first merges
        // the small free blocks, as the packer's own call would.
        mallopt(M_TRIM_THRESHOLD, 4 << 20);
        // The blocks are chained, or the compiler drops the unused calls.
        void **chain = nullptr;
        for (size_t size = 1 << 20; size >= 1024; size /= 2) {
            while (void **block = static_cast<void **>(malloc(size))) {
                *block = chain;
                chain = block;
            }
        }
        char *argv[] = {const_cast<char *>("pack"), const_cast<char *>("-o"),
                        const_cast<char *>("a.zip"), const_cast<char *>("f"), nullptr};
        int result = pk3_dir(4, argv);
        fflush(stdout);
        _exit(result == -104 && chain ? 0 : 91);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string out = read_file("out");
    EXPECT_NE(out.find("1.01b"), std::string::npos);
    ASSERT_GE(out.size(), 26u);
    EXPECT_EQ(out.substr(out.size() - 26), "\n\nError allocating memory\n");
    EXPECT_FALSE(path_exists("a.zip"));
#endif
}

} // namespace
