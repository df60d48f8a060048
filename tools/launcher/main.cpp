// halyx_devlauncher: the launcher peer for game development and integration tests.

#include <iostream>

#include "kx/devlauncher/InstallDirRegistry.h"
#include "kx/devlauncher/LocalizationFiles.h"
#include "kx/devlauncher/Options.h"
#include "kx/devlauncher/StopSignal.h"

namespace dl = kx::devlauncher;

namespace {

int Register(const dl::Options& options, dl::EventLog& log) {
    std::string error;
    const auto& installDir = options.settings.installDir;
    if (!dl::WriteLocalizationFiles(installDir, &error) ||
        !dl::RegisterInstallDir(installDir, &error)) {
        log.Line(error);
        return dl::kExitFailed;
    }
    std::string value;
    dl::ReadInstallDir(&value);
    log.Line("InstallDir is now " + value + " (" + dl::InstallDirLocation() + ")");
    return dl::kExitOk;
}

int Unregister(dl::EventLog& log) {
    std::string error;
    if (!dl::UnregisterInstallDir(&error)) {
        log.Line(error);
        return dl::kExitFailed;
    }
    log.Line("removed " + dl::InstallDirLocation());
    return dl::kExitOk;
}

int Serve(const dl::Options& options, dl::EventLog& log) {
    dl::PrepareStopSignals();
    dl::Launcher launcher(options.settings, log);
    std::string error;
    switch (launcher.Start(&error)) {
        case dl::Launcher::StartResult::kStarted:
            break;
        case dl::Launcher::StartResult::kAlreadyServed:
            log.Line(error + "; stop it first, or pick another name with --pipe");
            return dl::kExitAlreadyServed;
        case dl::Launcher::StartResult::kFailed:
            log.Line("cannot start: " + error);
            return dl::kExitFailed;
    }
    log.Line("serving " + launcher.Location() + ", savegames in " +
             options.settings.dataDir.u8string());
    std::string registered;
    if (!dl::ReadInstallDir(&registered)) {
        log.Line(
            "note: no InstallDir is registered, so games find no localized texts; run "
            "\"halyx_devlauncher register\" once");
    }
    dl::WaitForStopSignal();
    log.Line("stopping");
    launcher.Stop();
    return dl::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    dl::Options options;
    std::string error;
    if (!dl::ParseOptions(argc, argv, &options, &error)) {
        std::cerr << "halyx_devlauncher: " << error << "\n\n" << dl::UsageText();
        return dl::kExitUsage;
    }
    if (options.command == dl::Options::Command::kHelp) {
        std::cout << dl::UsageText();
        return dl::kExitOk;
    }
    if (!options.configFile.empty() &&
        !dl::LoadConfigFile(options.configFile, &options.settings.config, &error)) {
        std::cerr << "halyx_devlauncher: " << error << "\n";
        return dl::kExitUsage;
    }
    dl::EventLog log(std::cerr, options.verbose);
    switch (options.command) {
        case dl::Options::Command::kRegister:
            return Register(options, log);
        case dl::Options::Command::kUnregister:
            return Unregister(log);
        default:
            return Serve(options, log);
    }
}
