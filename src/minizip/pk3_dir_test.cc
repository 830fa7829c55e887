// The packer called in-process, where the command cannot reach: a heap
// that is already exhausted.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

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
        // the small free blocks, as the packer's own call would.  The blocks
        // are chained, or the compiler drops the unused calls.
        mallopt(M_TRIM_THRESHOLD, 4 << 20);
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
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::string out = read_file("out");
    EXPECT_NE(out.find("1.01b"), std::string::npos) << out;
    EXPECT_TRUE(out.size() > 26 && out.substr(out.size() - 26) == "\n\nError allocating memory\n")
        << out;
    EXPECT_EQ(list_dir("."), (std::vector<std::string>{"f", "out"}));
#endif
}

} // namespace
