#pragma once

#include "kx/common/Functor.h"

namespace kx {
namespace common {

// Starts a new thread with the default stack size that calls functor->Run() and then deletes
// the functor; the thread takes ownership of it. The first thread started this way pins the
// library in memory (on POSIX the shared object is linked so that it is never unloaded), since
// background threads run the library's code until the process ends. Returns false when the
// thread could not be created: one line naming the platform's error has then gone to the
// debugger output (ReportThreadStartFailure), and the functor has been deleted without being
// run. The caller decides what to refuse; it need not write a line of its own.
bool StartThread(Functor* functor);

// Writes the one line that a failed thread start leaves on the debugger output, with the
// platform's error number (errno of the C runtime's thread creation). Called by the platform
// parts of StartThread and Thread::Start; safe on any thread, allocates nothing.
void ReportThreadStartFailure(int error);

// Suspends the calling thread for about `milliseconds`; 0 gives up the rest of its time slice.
void Sleep(unsigned milliseconds);

// The platform's id of the calling thread; never 0.
unsigned CurrentThreadId();

}  // namespace common
}  // namespace kx
