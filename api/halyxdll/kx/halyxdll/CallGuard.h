#pragma once

#include <new>

#include "kx/logger/LogRecord.h"

namespace kx {
namespace halyxdll {

// Runs `call`, the body of an exported operation, so that no exception unwinds into the game,
// whose frames may come from another compiler. Inside the library only a failed allocation
// throws; the operation is then abandoned with one line. Returns `call`'s result, or
// `fallback` when it was abandoned.
template <typename Result, typename Call>
Result GuardCall(Result fallback, Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        KX_LOG(common::kLogError) << "Out of memory: a call into the library was abandoned.";
        return fallback;
    }
}

// As above, for operations without a result.
template <typename Call>
void GuardCall(Call call) {
    GuardCall(0, [&] {
        call();
        return 0;
    });
}

}  // namespace halyxdll
}  // namespace kx
