#include "LibraryProbe.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>
#include <winternl.h>

#include <cwchar>

namespace kx {
namespace testing {

namespace {

// One entry of the system-wide handle list (information class 16).
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE handleFlags;
    USHORT handleValue;
    PVOID objectPointer;
    ULONG accessMask;
};

struct SystemHandleList {
    ULONG count;
    SystemHandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryObject = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

template <typename Function>
Function NtFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// True when `handle` of this process refers to a file, a pipe or a socket (object type File).
bool IsFileHandle(HANDLE handle) {
    static const QueryObject query = NtFunction<QueryObject>("NtQueryObject");
    constexpr ULONG kObjectTypeInformation = 2;
    alignas(8) unsigned char buffer[1024];
    ULONG length = 0;
    if (query(handle, kObjectTypeInformation, buffer, sizeof(buffer), &length) != 0) return false;
    const UNICODE_STRING* type = reinterpret_cast<const UNICODE_STRING*>(buffer);
    return type->Length == 8 && wcsncmp(type->Buffer, L"File", 4) == 0;
}

}  // namespace

void* OpenLibrary(const char* path) {
    return LoadLibraryA(path);
}

void* FindExport(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

const bool kUnusedLibraryUnloads = true;

bool IsLibraryLoaded(const char* path) {
    return GetModuleHandleA(path) != nullptr;
}

int CountThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

int CountOpenFiles() {
    static const QuerySystemInformation query =
        NtFunction<QuerySystemInformation>("NtQuerySystemInformation");
    constexpr ULONG kSystemHandleInformation = 16;
    for (ULONG size = 1u << 16; size <= (1u << 26); size *= 2) {
        void* buffer = HeapAlloc(GetProcessHeap(), 0, size);
        if (buffer == nullptr) return -1;
        ULONG needed = 0;
        int count = -1;
        if (query(kSystemHandleInformation, buffer, size, &needed) == 0) {
            const SystemHandleList* list = static_cast<const SystemHandleList*>(buffer);
            count = 0;
            for (ULONG i = 0; i < list->count; ++i) {
                const SystemHandleEntry& entry = list->entries[i];
                if (entry.ownerPid != GetCurrentProcessId()) continue;
                if (IsFileHandle(
                        reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.handleValue)))) {
                    ++count;
                }
            }
        }
        HeapFree(GetProcessHeap(), 0, buffer);
        if (count >= 0) return count;
    }
    return -1;
}

}  // namespace testing
}  // namespace kx
