// Loading the library as a game loads it at run time, without creating a session.
#include <gtest/gtest.h>

#include "LibraryProbe.h"

namespace {

using kx::testing::CloseLibrary;
using kx::testing::CountOpenFiles;
using kx::testing::CountThreads;
using kx::testing::FindExport;
using kx::testing::IsLibraryLoaded;
using kx::testing::kUnusedLibraryUnloads;
using kx::testing::OpenLibrary;

TEST(LibraryLoadTest, LoadAndUnloadStartNoThreadAndOpenNothing) {
    const int threads = CountThreads();
    const int files = CountOpenFiles();
    ASSERT_GT(threads, 0);
    ASSERT_GT(files, 0);

    void* library = OpenLibrary(KX_LIBRARY_PATH);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(FindExport(library, "KxHalyxdllGetSession"), nullptr);
    EXPECT_EQ(CountThreads(), threads);
    EXPECT_EQ(CountOpenFiles(), files);

    CloseLibrary(library);
    EXPECT_EQ(CountThreads(), threads);
    EXPECT_EQ(CountOpenFiles(), files);
    EXPECT_EQ(IsLibraryLoaded(KX_LIBRARY_PATH), !kUnusedLibraryUnloads);
}

TEST(LibraryLoadTest, LoadingTwiceAndUnloadingTwiceIsHarmless) {
    const int threads = CountThreads();
    void* first = OpenLibrary(KX_LIBRARY_PATH);
    void* second = OpenLibrary(KX_LIBRARY_PATH);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    CloseLibrary(second);
    CloseLibrary(first);
    EXPECT_EQ(CountThreads(), threads);
}

}  // namespace
