#pragma once

namespace kx {
namespace common {

// Test-only fault injection for Windows, where a program cannot make the platform refuse a new
// thread for real. While set, StartThread and Thread::Start fail as they do when the C runtime
// cannot create a thread (error EAGAIN), line included. Any thread may set or read it.
void SetThreadStartsFailForTesting(bool fail);

// Whether thread starts are to fail (see above).
bool ThreadStartsFailForTesting();

}  // namespace common
}  // namespace kx
