#pragma once

#include <string>

namespace kx {
namespace testing {

// A pipe name that no other pipe of this process or of another process uses: `tag`, the
// process id and a serial number.
std::string UniquePipeName(const std::string& tag = "kx-test");

// Gives this process a pipe namespace of its own where the platform allows it, so that no
// launcher outside the test answers and test programs running at once do not meet. POSIX: a
// fresh directory becomes $XDG_RUNTIME_DIR (the library's pipe directory, inherited by the
// processes a test starts) and is removed with its content when the process exits. Windows has
// one pipe namespace per machine: nothing happens there, and tests that serve a fixed name run
// one at a time. Later calls do nothing.
void IsolatePipeNamespace();

}  // namespace testing
}  // namespace kx
