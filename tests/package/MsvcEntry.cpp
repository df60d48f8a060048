// Entry point of the package consumer built for the MSVC ABI without a C runtime (clang for the
// *-pc-windows-msvc targets, linked by lld-link against the MSVC import library): runs the
// checks and ends the process with their result.
#include "PackageConsumer.h"

extern "C" __declspec(dllimport) void __stdcall ExitProcess(unsigned int exitCode);

// Called if a pure virtual function is ever reached; without a C runtime it must exist here.
extern "C" int _purecall() {
    ExitProcess(90);
    return 0;
}

extern "C" void PackageConsumerEntry() {
    ExitProcess(static_cast<unsigned int>(RunPackageChecks()));
}
