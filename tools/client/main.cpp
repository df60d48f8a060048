// halyx_client: a sample game that uses the launcher through the library's plain exports.

#include <iostream>
#include <string>
#include <vector>

#include "kx/halyxclient/ClientOptions.h"
#include "kx/halyxclient/CommandLine.h"
#include "kx/halyxclient/Commands.h"
#include "kx/halyxclient/ExitCodes.h"

namespace hc = kx::halyxclient;

int main(int argc, char** argv) {
    hc::ClientOptions options;
    std::string error;
    const std::vector<std::string> arguments = hc::Utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    if (!hc::ParseClientOptions(static_cast<int>(pointers.size()), pointers.data(), &options,
                                &error)) {
        std::cerr << "halyx_client: " << error << "\n\n" << hc::ClientUsageText();
        return hc::kExitUsage;
    }
    hc::GameLoop loop(std::cout, std::cerr, options.timeout);
    switch (options.command) {
        case hc::ClientOptions::Command::kHelp:
            std::cout << hc::ClientUsageText();
            return hc::kExitOk;
        case hc::ClientOptions::Command::kLogin:
            return hc::RunLogin(loop, options.productId, options.showSecrets);
        case hc::ClientOptions::Command::kList:
            return hc::RunList(loop, options.productId);
        case hc::ClientOptions::Command::kGet:
            return hc::RunGet(loop, options.productId, options.slotId, options.file);
        case hc::ClientOptions::Command::kPut:
            return hc::RunPut(loop, options.productId, options.slotId, options.file, options.name,
                              options.overwrite);
        case hc::ClientOptions::Command::kRemove:
            return hc::RunRemove(loop, options.productId, options.slotId);
        case hc::ClientOptions::Command::kServer:
            return hc::RunServer(loop, options.productId, options.subProductId);
        case hc::ClientOptions::Command::kLoc:
            return hc::RunLoc(loop, options.language, options.key);
    }
    return hc::kExitUsage;
}
