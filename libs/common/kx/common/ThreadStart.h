#pragma once

#include "kx/common/Functor.h"

namespace kx {
namespace common {

// Starts a new thread with the default stack size that calls functor->Run() and then deletes
// the functor; the thread takes ownership of it. The first thread started this way pins the
// library in memory (on POSIX the shared object is linked so that it is never unloaded), since
// background threads run the library's code until the process ends. Returns false when the
// thread could not be created; the functor is then deleted without being run.
bool StartThread(Functor* functor);

// Suspends the calling thread for about `milliseconds`; 0 gives up the rest of its time slice.
void Sleep(unsigned milliseconds);

// The platform's id of the calling thread; never 0.
unsigned CurrentThreadId();

}  // namespace common
}  // namespace kx
