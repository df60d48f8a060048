#ifndef VELHALYXAPI_R2_EXPORT_H
#define VELHALYXAPI_R2_EXPORT_H

// Marks what the library exports. A game that includes these headers imports the same names.
#if defined(_WIN32)
#if defined(VELHALYX_BUILDING_LIBRARY)
#define VELHALYX_API __declspec(dllexport)
#else
#define VELHALYX_API __declspec(dllimport)
#endif
#else
#define VELHALYX_API __attribute__((visibility("default")))
#endif

namespace kx {
namespace halyxdll {

// A pipe handed to the game: a Win32 HANDLE opened for overlapped I/O on Windows, a file
// descriptor on POSIX. All bits set (INVALID_HANDLE_VALUE, (PipeHandle)-1) means failure.
typedef void* PipeHandle;

}  // namespace halyxdll
}  // namespace kx

#endif  // VELHALYXAPI_R2_EXPORT_H
