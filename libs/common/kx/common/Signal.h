#pragma once

#include "kx/common/CriticalSection.h"
#include "kx/common/FunctorMethod0WeakPtr.h"
#include "kx/common/HybridArray.h"
#include "kx/common/ScopedLock.h"
#include "kx/common/SharedPtr.h"
#include "kx/common/SignalLoop.h"
#include "kx/common/WeakPtr.h"

namespace kx {
namespace common {

// A list of subscribers that are notified asynchronously: Emit posts each live subscriber's
// handler to the process-wide SignalLoop, where it runs later, in emission order, if its target
// still lives then. Subscribers hold only weak pointers to their targets, so connecting never
// keeps a target alive; a subscriber whose target has died is dropped at the next Emit (there is
// no disconnect). Connect and Emit may be called on any threads at once; the signal's lock guards
// the subscriber list and is held while subscribers are notified, outside the loop's queue lock.
class Signal {
public:
    // One connection of a signal.
    class Subscriber {
    public:
        virtual ~Subscriber() {}

        // Queues the handler on the signal loop. False when the target is gone, meaning the
        // subscriber is dead and is to be dropped.
        virtual bool Notify() = 0;

        // True exactly when the target is alive and is `object`.
        virtual bool IsConnectedTo(const void* object) = 0;
    };

    // A subscriber that calls a member function of a T.
    template <typename T>
    class TSubscriber final : public Subscriber {
    public:
        using Handler = void (T::*)();

        TSubscriber(const SharedPtr<T>& target, Handler handler)
            : target_(target), handler_(handler) {}

        bool Notify() override {
            SharedPtr<T> alive = target_.Lock();
            if (!alive) return false;
            Functor* functor = new FunctorMethod0WeakPtr<T>(target_, handler_);
            SignalLoop* loop = SignalLoop::Instance();
            // A loop whose thread cannot start refuses the handler (the failed start wrote
            // its line); the subscriber stays, since its target lives.
            if (loop != nullptr) {
                loop->Post(functor);
            } else {
                delete functor;
            }
            return true;
        }

        bool IsConnectedTo(const void* object) override {
            SharedPtr<T> alive = target_.Lock();
            return alive && static_cast<const void*>(alive.Get()) == object;
        }

    private:
        WeakPtr<T> target_;
        Handler handler_;
    };

    Signal() {}

    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    // Subscribes `handler` of `target`; an empty target counts as dead. Duplicates are not
    // checked: connecting the same pair twice gives two notifications per Emit.
    template <typename T>
    void Connect(const SharedPtr<T>& target, void (T::*handler)()) {
        ScopedLock guard(&lock_);
        subscribers_.Add(SharedPtr<TSubscriber<T>>(new TSubscriber<T>(target, handler)));
    }

    // Notifies every subscriber, in order, dropping those whose target has died (the last
    // subscriber takes a dropped one's place).
    void Emit();

    // Number of subscribers, dead ones not yet dropped included.
    unsigned GetSubscriberCount();

private:
    CriticalSection lock_;
    HybridArray<SharedPtr<Subscriber>, 5> subscribers_;
};

}  // namespace common
}  // namespace kx
