#include "kx/devlauncher/Options.h"

#include <gtest/gtest.h>

#include "kx/testing/TempDirectory.h"
#include "kx/testing/WholeFile.h"

namespace kx {
namespace devlauncher {
namespace {

bool Parse(std::vector<const char*> args, Options* options, std::string* error) {
    args.insert(args.begin(), "halyx_devlauncher");
    return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(OptionsTest, DefaultsServeTheStandardPipe) {
    Options options;
    std::string error;
    ASSERT_TRUE(Parse({}, &options, &error)) << error;
    EXPECT_EQ(options.command, Options::Command::kServe);
    EXPECT_EQ(options.settings.pipeName, "halyx_ipc_pipe");
    EXPECT_EQ(options.settings.partSize, 64u * 1024u);
    EXPECT_EQ(options.settings.installDir, options.settings.dataDir / "install");
    EXPECT_FALSE(options.settings.faults.closeAfter);
    EXPECT_FALSE(options.verbose);
}

TEST(OptionsTest, EveryOptionInBothSpellings) {
    Options options;
    std::string error;
    ASSERT_TRUE(
        Parse({"register", "--data-dir", "d", "--install-dir=i", "--config", "c.conf", "--pipe=p",
               "--part-size", "100", "-v", "--fault-byte-writes", "--fault-delay-ms=5",
               "--fault-close-after", "0", "--fault-malformed", "read-outside", "--fault-after=3"},
              &options, &error))
        << error;
    EXPECT_EQ(options.command, Options::Command::kRegister);
    EXPECT_EQ(options.settings.dataDir, "d");
    EXPECT_EQ(options.settings.installDir, "i");
    EXPECT_EQ(options.configFile, "c.conf");
    EXPECT_EQ(options.settings.pipeName, "p");
    EXPECT_EQ(options.settings.partSize, 100u);
    EXPECT_TRUE(options.verbose);
    EXPECT_TRUE(options.settings.faults.byteWrites);
    EXPECT_EQ(options.settings.faults.delayMs, 5u);
    ASSERT_TRUE(options.settings.faults.closeAfter);
    EXPECT_EQ(*options.settings.faults.closeAfter, 0u);
    EXPECT_EQ(options.settings.faults.malformed, MalformedAnswer::kReadOutside);
    EXPECT_EQ(options.settings.faults.malformedAfter, 3u);

    Options limits;
    ASSERT_TRUE(Parse({"--max-connections=3", "--max-writers", "2"}, &limits, &error)) << error;
    EXPECT_EQ(limits.settings.maxConnections, 3u);
    EXPECT_EQ(limits.settings.maxWritersPerClient, 2u);
}

TEST(OptionsTest, RefusesWhatItDoesNotUnderstand) {
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},
        {"--pipe"},
        {"--pipe", "a/b"},
        {"--part-size", "0"},
        {"--part-size=x"},
        {"--part-size", "4294967296"},
        {"--part-size", "-1"},
        {"--fault-malformed", "loud"},
        {"--verbose=1"},
        {"--data-dir="},
        {"--part-size", "99999999"},
        {"--max-connections", "0"},
        {"--max-writers=0"},
    };
    for (const auto& args : bad) {
        Options options;
        std::string error;
        EXPECT_FALSE(Parse(args, &options, &error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(LauncherConfigTest, ReadsNonAsciiLoginDetailsAndProducts) {
    const std::string text =
        "\xEF\xBB\xBF# developer account\r\n"
        "username = J\xC3\xBCrgen M\xC3\xBCller\r\n"
        "password=\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C = #1\r\n"
        "\r\n"
        "cdkey = \xE3\x82\xAD\xE3\x83\xBC-0001\n"
        "products = 7, 8 9\n"
        "products = 4294967295\n";
    LauncherConfig config;
    std::string error;
    ASSERT_TRUE(ParseLauncherConfig(text, &config, &error)) << error;
    EXPECT_EQ(config.username, "J\xC3\xBCrgen M\xC3\xBCller");
    EXPECT_EQ(config.password, "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C = #1");
    EXPECT_EQ(config.cdkey, "\xE3\x82\xAD\xE3\x83\xBC-0001");
    EXPECT_EQ(config.products, (std::set<std::uint32_t>{7, 8, 9, 4294967295u}));
}

TEST(LauncherConfigTest, KeepsDefaultsForWhatIsNotSet) {
    LauncherConfig config;
    std::string error;
    ASSERT_TRUE(ParseLauncherConfig("username = someone\n", &config, &error));
    EXPECT_EQ(config.username, "someone");
    EXPECT_EQ(config.password, LauncherConfig().password);
    EXPECT_EQ(config.products, LauncherConfig().products);
    ASSERT_TRUE(ParseLauncherConfig("products =\n", &config, &error));
    EXPECT_TRUE(config.products.empty());
}

TEST(LauncherConfigTest, ErrorsNameTheLine) {
    for (const char* text : {"username = a\nno equals here\n", "x\n", "colour = blue\n",
                             "products = 1, two\n", "products = 4294967296\n"}) {
        LauncherConfig config;
        std::string error;
        EXPECT_FALSE(ParseLauncherConfig(text, &config, &error)) << text;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    }
}

TEST(LauncherConfigTest, LoadConfigFileReportsAMissingFile) {
    const kx::testing::TempDirectory dir;
    LauncherConfig config;
    std::string error;
    EXPECT_FALSE(LoadConfigFile(dir.Path() / "missing.conf", &config, &error));
    EXPECT_NE(error.find("missing.conf"), std::string::npos);
    kx::testing::WriteWholeFile(dir.Path() / "bad.conf", "\n\nwhat\n");
    EXPECT_FALSE(LoadConfigFile(dir.Path() / "bad.conf", &config, &error));
    EXPECT_NE(error.find("line 3"), std::string::npos);
}

}  // namespace
}  // namespace devlauncher
}  // namespace kx
