// The library's entry point on Windows: load and unload notifications of the process.
#include <windows.h>

#include "kx/halyxdll/LibraryLifetime.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            kx::halyxdll::OnLibraryLoad();
            break;
        case DLL_PROCESS_DETACH:
            kx::halyxdll::OnLibraryUnload();
            break;
        default:  // Thread attach and detach need nothing.
            break;
    }
    return TRUE;
}
