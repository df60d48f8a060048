#pragma once

namespace kx {
namespace testing {

// Loads the shared library at `path` the way a game would load it at run time; null on
// failure.
void* OpenLibrary(const char* path);
// The address of the export `name`, or null.
void* FindExport(void* library, const char* name);
// Unloads a library returned by OpenLibrary.
void CloseLibrary(void* library);
// Whether the library at `path` is still mapped into this process.
bool IsLibraryLoaded(const char* path);
// Whether unloading a library that has started no thread unmaps it. The shared object is linked
// to stay once loaded (-z nodelete); the DLL pins itself only when its first thread starts.
extern const bool kUnusedLibraryUnloads;

// Number of threads of this process.
int CountThreads();
// Number of open files, pipes and sockets of this process (handles of type File on Windows,
// file descriptors on POSIX). Other kernel objects, such as the events and semaphores a runtime
// creates for its own bookkeeping, are not counted.
int CountOpenFiles();

}  // namespace testing
}  // namespace kx
