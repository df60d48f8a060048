#include "LibraryProbe.h"

#include <dirent.h>
#include <dlfcn.h>

namespace kx {
namespace testing {

namespace {

// Entries of a /proc directory, "." and ".." left out.
int CountEntries(const char* directory) {
    DIR* dir = opendir(directory);
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}

}  // namespace

void* OpenLibrary(const char* path) {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(void* library, const char* name) {
    return dlsym(library, name);
}

void CloseLibrary(void* library) {
    dlclose(library);
}

const bool kUnusedLibraryUnloads = false;

bool IsLibraryLoaded(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) return false;
    dlclose(library);
    return true;
}

int CountThreads() {
    return CountEntries("/proc/self/task");
}

int CountOpenFiles() {
    return CountEntries("/proc/self/fd");
}

}  // namespace testing
}  // namespace kx
