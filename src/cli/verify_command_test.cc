// --verify on the terminal without a server: the Debian package that
// brings one is named (the lines of real runs are src/verify's test).
#include <gtest/gtest.h>

#include "cli/cli.h"
#include "verify/verify.h"

TEST(VerifyCommand, WithoutAServerThePackageThatBringsOneIsNamed) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(tell_verify({verify_verdict::no_engine, {}, 0}, "p.pk3", false), exit_no_engine);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("openarena-server"), std::string::npos);
}
