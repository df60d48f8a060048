#pragma once

namespace kx {
namespace common {

// A piece of work carried to another thread. Functors are created with the global allocator;
// whoever runs one (the signal loop, a thread start) deletes it afterwards.
class Functor {
public:
    virtual ~Functor() {}

    // Does the work; called once.
    virtual void Run() = 0;
};

}  // namespace common
}  // namespace kx
