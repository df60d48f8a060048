#include "shared/PeerProcess.h"

#include <windows.h>

namespace kx {
namespace bench {

std::string PeerProcess::ProgramBesideThisOne(const std::string& name) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length == sizeof(path)) return name + ".exe";
    const std::string program(path, length);
    return program.substr(0, program.find_last_of("\\/") + 1) + name + ".exe";
}

// Named pipes have one namespace per machine (per Wine prefix): nothing to set up.
bool PeerProcess::Start(const std::string& program, const std::string& launcherPipeName,
                        const std::string& behaviour) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd;
    HANDLE writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return false;
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string commandLine = "\"" + program + "\" " + launcherPipeName;
    if (!behaviour.empty()) commandLine += " " + behaviour;
    PROCESS_INFORMATION started;
    const BOOL created = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &started);
    CloseHandle(readEnd);
    if (!created) {
        CloseHandle(writeEnd);
        return false;
    }
    CloseHandle(started.hThread);
    process_ = reinterpret_cast<intptr_t>(started.hProcess);
    input_ = reinterpret_cast<intptr_t>(writeEnd);
    return true;
}

void PeerProcess::Stop() {
    if (input_ != -1) CloseHandle(reinterpret_cast<HANDLE>(input_));
    if (process_ == -1) return;
    const HANDLE process = reinterpret_cast<HANDLE>(process_);
    if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
    CloseHandle(process);
}

}  // namespace bench
}  // namespace kx
