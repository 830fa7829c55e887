// Replacing an archive: the new one appears whole or not at all.  Writes
// are made to fail with a file-size limit, SIGXFSZ ignored so that the
// write returns EFBIG instead of killing the packer.
#include "file_layer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "../../tests/support.h"

namespace {

using strings = std::vector<std::string>;

run_result pack_limited(const std::string &limit, const strings &args, std::string_view input) {
    strings cmd = {"sh",         "-c",      "trap '' XFSZ; exec \"$@\"",
                   "sh",         "prlimit", "--fsize=" + limit,
                   MAPCRATE_PACK};
    cmd.insert(cmd.end(), args.begin(), args.end());
    return run_program(cmd, input);
}

TEST(FileLayer, FailedWriteKeepsOldArchiveAndLeavesNoTemporaryFile) {
    struct row {
        strings args;
        const char *input, *limit; // bytes the packer may write into one file
        bool fits;
    } rows[] = {
        {{"-o", "-0", "old.zip", "big"}, "", "100000", false}, // fails in an entry's data
        {{"-o", "-9", "old.zip", "big"}, "", "100000", false}, // fails while deflating
        {{"old.zip", "big"}, "y\n", "100000", false},          // replaces after the question
        {{"-o", "-0", "old.zip", "big"}, "", "300050", false}, // fails in the central directory
        {{"-a", "old.zip", "big"}, "", "100000", false},       // works on the archive itself
        {{"-o", "new.zip", "big"}, "", "50000", false},
        {{"-o", "new.zip", "big"}, "", "400000", true},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.args) + " limit " + r.limit);
        temp_dir tmp;
        write_file("small", "kept");
        ASSERT_EQ(system("head -c 300000 /dev/urandom > big"), 0);
        ASSERT_EQ(run_program({MAPCRATE_PACK, "-o", "old.zip", "small"}).status, 0);
        std::string before = read_file("old.zip");

        run_result res = pack_limited(r.limit, r.args, r.input);
        EXPECT_TRUE(r.args[0] == "-a" || read_file("old.zip") == before);
        if (r.fits) {
            EXPECT_EQ(res.status, 0) << res.out;
            EXPECT_TRUE(unzip_test_passes("new.zip"));
            zip_reading z = read_zip_with_python("new.zip");
            EXPECT_TRUE(z.ok && z.entries.size() == 1 && z.entries[0].data == read_file("big"));
            EXPECT_EQ(list_dir("."), (strings{"big", "new.zip", "old.zip", "small"}));
        } else {
            EXPECT_GT(res.status, 127) << res.out; // exit(negative)
            EXPECT_NE(res.out.find("error in"), std::string::npos) << res.out;
            EXPECT_EQ(list_dir("."), (strings{"big", "old.zip", "small"}));
        }
    }
}

// The replacement is a new file like any other: its mode follows the
// umask, and a symbolic link to the archive stays a link.
TEST(FileLayer, ReplacementFollowsUmaskAndSymlink) {
    temp_dir tmp;
    write_file("f", "x");
    ASSERT_EQ(system("mkdir real && echo old > real/t.zip && ln -s real/t.zip link.zip"), 0);
    for (mode_t mask : {022, 077, 002}) {
        mode_t old = umask(mask);
        run_result res = run_program({MAPCRATE_PACK, "-o", "link.zip", "f"});
        umask(old);
        EXPECT_EQ(res.status, 0) << res.out;
        struct stat st;
        EXPECT_TRUE(lstat("link.zip", &st) == 0 && S_ISLNK(st.st_mode));
        ASSERT_EQ(stat("real/t.zip", &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
        EXPECT_EQ(list_dir("real"), strings{"t.zip"});
        EXPECT_TRUE(unzip_test_passes("real/t.zip"));
        zip_reading z = read_zip_with_python("real/t.zip");
        EXPECT_TRUE(z.ok && z.entries.size() == 1 && z.entries[0].data == "x") << z.problem;
    }
}

// A close the library reports as failed never replaces the old archive,
// even when every write went through.
TEST(FileLayer, FinishRenamesOnlyAfterAGoodClose) {
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
        EXPECT_EQ(def.zwrite_file(def.opaque, s, "new", 3), 3u);
        EXPECT_EQ(def.zclose_file(def.opaque, s), 0);
        EXPECT_EQ(file_layer_finish(&layer, closed_ok), closed_ok ? 0 : -1);
        EXPECT_EQ(read_file("t.zip"), closed_ok ? "new" : "old");
        EXPECT_EQ(list_dir("."), strings{"t.zip"});
    }
}

} // namespace
