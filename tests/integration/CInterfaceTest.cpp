// The C interface end to end: a program compiled as C against the development launcher.
#include "kx/testing/LauncherGameFixture.h"

namespace kx {
namespace testing {
namespace {

using CInterfaceTest = LauncherGameFixture;

TEST_F(CInterfaceTest, CProgramGoesThroughEveryConversation) {
    ASSERT_TRUE(StartLauncher());
    std::string output;
    EXPECT_EQ(RunProgram("halyx_c_conversations", {std::to_string(kProduct)}, &output), 0)
        << output;
    EXPECT_NE(output.find(std::string("login details: user ") + kUserName), std::string::npos)
        << output;
    EXPECT_NE(output.find("all conversations done"), std::string::npos) << output;
}

}  // namespace
}  // namespace testing
}  // namespace kx
