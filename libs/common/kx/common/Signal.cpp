#include "kx/common/Signal.h"

#include "kx/common/Contract.h"

namespace kx {
namespace common {

void Signal::Emit() {
    ScopedLock guard(&lock_);
    unsigned index = 0;
    while (index < subscribers_.GetCount()) {
        SharedPtr<Subscriber>& subscriber = subscribers_.At(index);
        KX_CHECK(!subscriber.IsNull());
        if (subscriber->Notify()) {
            ++index;
        } else {
            // The former last subscriber now sits at this index: examine it next.
            subscribers_.RemoveAtFast(index);
        }
    }
}

unsigned Signal::GetSubscriberCount() {
    ScopedLock guard(&lock_);
    return subscribers_.GetCount();
}

}  // namespace common
}  // namespace kx
