// Replacing an archive: the new one appears whole or not at all.  Writes
// are made to fail with a file-size limit (SIGXFSZ ignored, so the write
// returns EFBIG instead of killing the packer).
#include "file_layer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <string>
#include <vector>

#include "../../tests/support.h"

namespace {

// Ignored signals stay ignored across exec, so the packer inherits it.
struct ignore_sigxfsz {
    struct sigaction old {};
    ignore_sigxfsz() {
        struct sigaction ign {};
        ign.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ign, &old);
    }
    ~ignore_sigxfsz() {
        sigaction(SIGXFSZ, &old, nullptr);
    }
};

std::string noise(size_t size) {
    std::string s(size, '\0');
    uint64_t x = 88172645463325252ULL;
    for (char &c : s) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = static_cast<char>(x);
    }
    return s;
}

run_result pack_limited(long max_file_bytes, const std::vector<std::string> &args,
                        std::string_view input = {}) {
    std::vector<std::string> cmd = {"prlimit", "--fsize=" + std::to_string(max_file_bytes),
                                    MAPCRATE_PACK};
    cmd.insert(cmd.end(), args.begin(), args.end());
    return run_program(cmd, input);
}

TEST(FileLayer, FailedReplaceKeepsOldArchive) {
    ignore_sigxfsz ign;
    struct row {
        std::vector<std::string> args;
        std::string input;
        long limit; // bytes the packer may write into one file
    } rows[] = {
        {{"-o", "-0", "old.zip", "big"}, "", 100000}, // fails in an entry's data
        {{"-o", "-9", "old.zip", "big"}, "", 100000}, // fails while deflating
        {{"old.zip", "big"}, "y\n", 100000},          // replace after the question
        {{"-o", "-0", "old.zip", "big"}, "", 300050}, // fails in the central directory
    };
    for (const row &r : rows) {
        temp_dir tmp;
        write_file("small", "kept");
        write_file("big", noise(300000));
        ASSERT_EQ(run_program({MAPCRATE_PACK, "-o", "old.zip", "small"}).status, 0);
        std::string before = read_file("old.zip");

        run_result res = pack_limited(r.limit, r.args, r.input);
        EXPECT_GT(res.status, 127) << res.out; // exit(negative)
        EXPECT_NE(res.out.find("error in"), std::string::npos) << res.out;
        EXPECT_EQ(read_file("old.zip"), before) << res.out;
        EXPECT_EQ(list_dir("."), (std::vector<std::string>{"big", "old.zip", "small"}));
    }
}

TEST(FileLayer, FailedCreateLeavesNothing) {
    ignore_sigxfsz ign;
    temp_dir tmp;
    write_file("big", noise(300000));
    run_result res = pack_limited(50000, {"-o", "new.zip", "big"});
    EXPECT_GT(res.status, 127);
    EXPECT_EQ(list_dir("."), std::vector<std::string>{"big"});
    // Within the limit the same call succeeds.
    res = pack_limited(400000, {"-o", "new.zip", "big"});
    EXPECT_EQ(res.status, 0) << res.out;
    EXPECT_TRUE(unzip_test_passes("new.zip"));
}

TEST(FileLayer, FailedAppendIsReported) {
    ignore_sigxfsz ign;
    temp_dir tmp;
    write_file("small", "kept");
    write_file("big", noise(300000));
    ASSERT_EQ(run_program({MAPCRATE_PACK, "-o", "a.zip", "small"}).status, 0);
    run_result res = pack_limited(100000, {"-a", "a.zip", "big"});
    EXPECT_GT(res.status, 127);
    EXPECT_EQ(list_dir("."), (std::vector<std::string>{"a.zip", "big", "small"}));
}

TEST(FileLayer, NewArchiveModeFollowsUmask) {
    temp_dir tmp;
    write_file("f", "x");
    for (mode_t mask : {022, 077, 002}) {
        mode_t old = umask(mask);
        run_result res = run_program({MAPCRATE_PACK, "-o", "m.zip", "f"});
        umask(old);
        ASSERT_EQ(res.status, 0);
        struct stat st;
        ASSERT_EQ(stat("m.zip", &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
    }
}

TEST(FileLayer, ReplacingThroughSymlinkKeepsLink) {
    temp_dir tmp;
    write_file("f", "x");
    ASSERT_EQ(system("mkdir real && echo old > real/target.zip && ln -s real/target.zip link.zip"),
              0);
    ASSERT_EQ(run_program({MAPCRATE_PACK, "-o", "link.zip", "f"}).status, 0);
    struct stat st;
    ASSERT_EQ(lstat("link.zip", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    zip_reading z = read_zip_with_python("real/target.zip");
    ASSERT_TRUE(z.ok) << z.problem;
    ASSERT_EQ(z.entries.size(), 1u);
    EXPECT_EQ(list_dir("real"), std::vector<std::string>{"target.zip"});
}

// The table the library gets is usable on its own: a failed write
// removes the temporary file, a good one replaces the target.
TEST(FileLayer, FinishRenamesOnlyWhatSucceeded) {
    temp_dir tmp;
    for (bool closed_ok : {false, true}) {
        write_file("t.zip", "old");
        file_layer layer;
        zlib_filefunc_def def;
        fill_posix_filefunc(&def, &layer);
        voidpf s = def.zopen_file(def.opaque, "t.zip",
                                  ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_WRITE |
                                      ZLIB_FILEFUNC_MODE_CREATE);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(list_dir(".").size(), 2u); // the temporary file beside it
        EXPECT_EQ(def.zwrite_file(def.opaque, s, "new!", 4), 4u);
        EXPECT_EQ(def.ztell_file(def.opaque, s), 4);
        EXPECT_EQ(def.zseek_file(def.opaque, s, 1, ZLIB_FILEFUNC_SEEK_SET), 0);
        EXPECT_EQ(def.zwrite_file(def.opaque, s, "E", 1), 1u);
        EXPECT_EQ(def.zclose_file(def.opaque, s), 0);
        EXPECT_EQ(file_layer_finish(&layer, closed_ok), closed_ok ? 0 : -1);
        EXPECT_EQ(read_file("t.zip"), closed_ok ? "nEw!" : "old");
        EXPECT_EQ(list_dir("."), std::vector<std::string>{"t.zip"});
    }
}

} // namespace
