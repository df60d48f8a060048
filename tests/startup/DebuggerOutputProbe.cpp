// Loads the library at run time, makes it log one record and unloads it. The test around this
// program checks the debugger output (standard error on POSIX, Wine's debugstr channel on
// Windows) for the record's line.
#include <cstdio>

#include "LibraryProbe.h"
#include "velhalyxapi_r2.h"

namespace {

class IgnoringListener : public kx::halyxdll::IGetLoginDetailsListener {
public:
    void OnGetLoginDetails(unsigned int, const char*, const unsigned short*, const char*) override {
    }
};

// Kept for the whole run, as a game keeps its facade (the library never releases one).
kx::halyxdll::HalyxSession* gSession = nullptr;

}  // namespace

int main() {
    void* library = kx::testing::OpenLibrary(KX_LIBRARY_PATH);
    if (library == nullptr) {
        std::printf("library not loaded\n");
        return 1;
    }
    auto getSession = reinterpret_cast<decltype(&KxHalyxdllGetSession)>(
        kx::testing::FindExport(library, "KxHalyxdllGetSession"));
    auto getLoginDetails = reinterpret_cast<decltype(&KxHalyxdllGetLoginDetails)>(
        kx::testing::FindExport(library, "KxHalyxdllGetLoginDetails"));
    if (getSession == nullptr || getLoginDetails == nullptr) {
        std::printf("exports missing\n");
        return 1;
    }
    // No launcher connection has been opened (only a server request opens it), so the request
    // is logged as not sent.
    IgnoringListener listener;
    gSession = getSession();
    getLoginDetails(gSession, 1, &listener);
    kx::testing::CloseLibrary(library);
    std::printf("probe finished\n");
    return 0;
}
