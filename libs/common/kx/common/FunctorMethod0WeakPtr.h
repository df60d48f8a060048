#pragma once

#include "kx/common/Functor.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/WeakPtr.h"

namespace kx {
namespace common {

// Calls a member function without arguments on an object observed through a weak pointer, if
// the object is still alive when the functor runs; otherwise does nothing. The functor does not
// keep the object alive while it waits to run.
template <typename T>
class FunctorMethod0WeakPtr final : public Functor {
public:
    using Method = void (T::*)();

    FunctorMethod0WeakPtr(const WeakPtr<T>& target, Method method)
        : target_(target), method_(method) {}

    void Run() override {
        SharedPtr<T> alive = target_.Lock();
        if (alive) (alive.Get()->*method_)();
    }

private:
    WeakPtr<T> target_;
    Method method_;
};

}  // namespace common
}  // namespace kx
