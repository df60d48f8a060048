#include "kx/halyxclient/ClientOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx {
namespace halyxclient {
namespace {

bool Parse(std::vector<const char*> args, ClientOptions* options, std::string* error) {
    args.insert(args.begin(), "halyx_client");
    return ParseClientOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(ClientOptionsTest, EveryCommand) {
    ClientOptions o;
    std::string error;
    ASSERT_TRUE(Parse(
        {"put", "7", "3", "save.bin", "--name", "Chapter 1", "--no-overwrite", "--timeout", "30"},
        &o, &error))
        << error;
    EXPECT_EQ(o.command, ClientOptions::Command::kPut);
    EXPECT_EQ(o.productId, 7u);
    EXPECT_EQ(o.slotId, 3u);
    EXPECT_EQ(o.file, "save.bin");
    EXPECT_EQ(o.name, "Chapter 1");
    EXPECT_FALSE(o.overwrite);
    EXPECT_EQ(o.timeout, std::chrono::seconds(30));

    ClientOptions get;
    ASSERT_TRUE(Parse({"get", "7", "3", "out.bin"}, &get, &error));
    EXPECT_EQ(get.command, ClientOptions::Command::kGet);
    EXPECT_EQ(get.file, "out.bin");

    ClientOptions list;
    ASSERT_TRUE(Parse({"list", "12"}, &list, &error));
    EXPECT_EQ(list.productId, 12u);

    ClientOptions server;
    ASSERT_TRUE(Parse({"--product", "5", "server", "--sub", "2"}, &server, &error));
    EXPECT_EQ(server.command, ClientOptions::Command::kServer);
    EXPECT_EQ(server.productId, 5u);
    EXPECT_EQ(server.subProductId, 2u);

    ClientOptions loc;
    ASSERT_TRUE(Parse({"loc", "ja", "Title"}, &loc, &error));
    EXPECT_EQ(loc.language, "ja");
    EXPECT_EQ(loc.key, "Title");

    ClientOptions login;
    ASSERT_TRUE(Parse({"login"}, &login, &error));
    EXPECT_EQ(login.command, ClientOptions::Command::kLogin);
    EXPECT_EQ(login.productId, 1u);
    EXPECT_FALSE(login.showSecrets);
    ClientOptions shown;
    ASSERT_TRUE(Parse({"login", "--show-secrets"}, &shown, &error));
    EXPECT_TRUE(shown.showSecrets);

    ClientOptions rm;
    ASSERT_TRUE(Parse({"rm", "7", "3"}, &rm, &error));
    EXPECT_EQ(rm.command, ClientOptions::Command::kRemove);
}

TEST(ClientOptionsTest, RefusesWhatItDoesNotUnderstand) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"fly"},
        {"login", "extra"},
        {"get", "7", "3"},
        {"put", "7", "3", "f"},  // no --name
        {"rm", "7", "x"},
        {"rm", "7", "4294967296"},
        {"list", "--bogus"},
        {"list", "--timeout"},
    };
    for (const auto& args : bad) {
        ClientOptions o;
        std::string error;
        EXPECT_FALSE(Parse(args, &o, &error)) << (args.empty() ? "(none)" : args[0]);
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace halyxclient
}  // namespace kx
