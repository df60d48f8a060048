// A game that unloads the library after using it: the library's background threads outlive the
// unload, so the library must stay in memory once the first of them has started.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "LibraryProbe.h"
#include "kx/testing/PipeNamespace.h"
#include "kx/testing/PipeServer.h"
#include "velhalyxapi_r2.h"

namespace {

using kx::testing::CloseLibrary;
using kx::testing::CountThreads;
using kx::testing::FindExport;
using kx::testing::IsLibraryLoaded;
using kx::testing::OpenLibrary;

class IgnoringServerListener : public kx::halyxdll::IGetHalyxServerListener {
public:
    void OnGetHalyxServer(unsigned int, kx::halyxdll::PipeHandle) override {}
};

// Kept for the whole run, as a game keeps its facade (the library never releases one).
kx::halyxdll::HalyxSession* gSession = nullptr;

template <typename Function>
Function ExportOf(void* library, const char* name) {
    return reinterpret_cast<Function>(FindExport(library, name));
}

TEST(LibraryPinTest, UnloadAfterTheBackgroundThreadsStartedLeavesTheLibraryInMemory) {
    kx::testing::IsolatePipeNamespace();
    kx::testing::PipeServer launcher("halyx_ipc_pipe");
    const int threadsBefore = CountThreads();

    void* library = OpenLibrary(KX_LIBRARY_PATH);
    ASSERT_NE(library, nullptr);
    auto getSession = ExportOf<decltype(&KxHalyxdllGetSession)>(library, "KxHalyxdllGetSession");
    auto getServer =
        ExportOf<decltype(&KxHalyxdllGetHalyxServer)>(library, "KxHalyxdllGetHalyxServer");
    auto update = ExportOf<decltype(&KxHalyxdllUpdate)>(library, "KxHalyxdllUpdate");
    ASSERT_TRUE(getSession != nullptr && getServer != nullptr && update != nullptr);

    // Connecting starts the pipe reader thread; the launcher hanging up makes the reader hand
    // the closed signal to the signal loop, which starts the loop thread.
    IgnoringServerListener listener;
    gSession = getSession();
    getServer(gSession, 1, &listener, 7, 0);
    std::unique_ptr<kx::testing::PipeEnd> client = launcher.Accept(kx::testing::kPatience);
    ASSERT_NE(client, nullptr);
    client->Close();
    for (int i = 0; i < 500 && CountThreads() < threadsBefore + 2; ++i) {
        update(gSession);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(CountThreads(), threadsBefore + 2);

    CloseLibrary(library);
    EXPECT_TRUE(IsLibraryLoaded(KX_LIBRARY_PATH));
    // The loop thread wakes every 100 ms inside the library: had the unload unmapped it, the
    // process would not live through this.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

}  // namespace
