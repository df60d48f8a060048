#pragma once

#include "kx/common/Functor.h"

namespace kx {
namespace common {

// Calls a free function with a stored argument of type A (copied in, and copied again for each
// call). The argument lives as long as the functor.
template <typename A>
class FunctorFunction1 final : public Functor {
public:
    using Function = void (*)(A);

    FunctorFunction1(Function function, const A& argument)
        : function_(function), argument_(argument) {}

    void Run() override { function_(argument_); }

private:
    Function function_;
    A argument_;
};

}  // namespace common
}  // namespace kx
