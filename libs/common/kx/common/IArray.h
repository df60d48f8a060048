#pragma once

namespace kx {
namespace common {

// Abstract dynamic array of T. Elements are owned by the array; indices are unsigned 32-bit.
// Not thread-safe: a caller sharing one array between threads holds its own lock.
// The order of the virtual operations below is fixed (slot order of the interface).
template <typename T>
class IArray {
public:
    virtual ~IArray() {}

    // Appends `count` elements copied from `items`. `items` may point into this array.
    virtual void AddRange(const T* items, unsigned count) = 0;
    // Appends a copy of `item` (which may be an element of this array); returns its index.
    virtual unsigned Add(const T& item) = 0;
    // Removes the element at `index` (must be below GetCount()); later elements move down.
    virtual void RemoveAt(unsigned index) = 0;
    // Replaces the element at `index` (must be below GetCount()) by the last one and shrinks by
    // one; the order of the elements is not kept.
    virtual void RemoveAtFast(unsigned index) = 0;
    // Removes the first `count` elements; the rest move to the front. Clears when `count` is at
    // least GetCount().
    virtual void RemoveFirst(unsigned count) = 0;
    // Removes the last element and returns it. The array must not be empty.
    virtual T Pop() = 0;
    // Destroys all elements; the storage is kept.
    virtual void Clear() = 0;
    // Shrinks to `newCount` elements when that is not above GetCount(); otherwise does nothing.
    virtual void Truncate(unsigned newCount) = 0;
    // Makes room for at least `capacity` elements; never shrinks.
    virtual void Reserve(unsigned capacity) = 0;
    // Number of elements.
    virtual unsigned GetCount() const = 0;
    // First element; valid until the next operation that adds elements or reserves.
    virtual T* GetData() = 0;
    // Element at `index`, which must be below GetCount().
    virtual const T& At(unsigned index) const = 0;
    virtual T& At(unsigned index) = 0;
};

}  // namespace common
}  // namespace kx
