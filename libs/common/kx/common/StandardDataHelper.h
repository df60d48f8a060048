#pragma once

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace kx {
namespace common {

// Element policy of HybridArray: how slots are constructed, copied, moved and destroyed.
// Plain data (characters, integers, pointers, trivially copyable records) is handled with byte
// copies, and new slots are zero-filled so that fresh pointer slots are null. Every other type
// is handled through its constructors, assignments and destructor.
template <typename T>
struct StandardDataHelper {
    static constexpr bool kPlain =
        std::is_trivially_copyable<T>::value && std::is_trivially_default_constructible<T>::value;

    // Creates `count` fresh elements in the raw memory at `slots`.
    static void Construct(T* slots, unsigned count) {
        if constexpr (kPlain) {
            if (count != 0) std::memset(static_cast<void*>(slots), 0, sizeof(T) * count);
        } else {
            for (unsigned i = 0; i < count; ++i) new (slots + i) T();
        }
    }

    // Creates `count` copies of `from` in the raw memory at `slots`; the ranges do not overlap.
    static void CopyConstruct(T* slots, const T* from, unsigned count) {
        if constexpr (kPlain) {
            if (count != 0) std::memcpy(static_cast<void*>(slots), from, sizeof(T) * count);
        } else {
            for (unsigned i = 0; i < count; ++i) new (slots + i) T(from[i]);
        }
    }

    // Moves `count` elements from `from` into the raw memory at `slots` and destroys the
    // sources, leaving `from` raw memory; the ranges do not overlap.
    static void Relocate(T* slots, T* from, unsigned count) {
        if constexpr (kPlain) {
            if (count != 0) std::memcpy(static_cast<void*>(slots), from, sizeof(T) * count);
        } else {
            for (unsigned i = 0; i < count; ++i) {
                new (slots + i) T(std::move(from[i]));
                from[i].~T();
            }
        }
    }

    // Assigns `count` elements from `from` to the live elements at `to`, front to back, so the
    // ranges may overlap when `to` lies before `from` (elements moving down).
    static void MoveDown(T* to, T* from, unsigned count) {
        if constexpr (kPlain) {
            if (count != 0) std::memmove(static_cast<void*>(to), from, sizeof(T) * count);
        } else {
            for (unsigned i = 0; i < count; ++i) to[i] = std::move(from[i]);
        }
    }

    // Destroys `count` live elements at `slots`, leaving raw memory.
    static void Destroy(T* slots, unsigned count) {
        if constexpr (!std::is_trivially_destructible<T>::value) {
            for (unsigned i = 0; i < count; ++i) slots[i].~T();
        } else {
            static_cast<void>(slots);
            static_cast<void>(count);
        }
    }
};

}  // namespace common
}  // namespace kx
