#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <utility>

#include "kx/common/Contract.h"
#include "kx/common/IArray.h"
#include "kx/common/StandardDataHelper.h"

namespace kx {
namespace common {

// Dynamic array with room for N elements inside the object itself. Elements live in the inline
// storage until the first growth beyond N; from then on they live in a heap block (malloc/free)
// and the inline storage is never used again. Growth doubles the capacity, starting from
// max(capacity, 1); the capacity never shrinks. Index errors, Pop on an empty array and
// allocation failures stop the process (KX_CHECK).
// Not thread-safe: a caller sharing one array between threads holds its own lock.
template <typename T, unsigned N, typename Helper = StandardDataHelper<T>>
class HybridArray final : public IArray<T> {
public:
    HybridArray() {}

    HybridArray(const HybridArray& other) { CopyFrom(other); }

    // Takes over the other array's elements; `other` is left empty.
    HybridArray(HybridArray&& other) noexcept { TakeFrom(other); }

    ~HybridArray() override {
        Helper::Destroy(Data(), count_);
        std::free(heap_);
    }

    HybridArray& operator=(const HybridArray& other) {
        if (this != &other) {
            Clear();
            CopyFrom(other);
        }
        return *this;
    }

    // Takes over the other array's elements; `other` is left empty.
    HybridArray& operator=(HybridArray&& other) noexcept {
        if (this != &other) {
            Clear();
            if (other.heap_ != nullptr) {
                std::free(heap_);
                heap_ = nullptr;
                capacity_ = N;
            }
            TakeFrom(other);
        }
        return *this;
    }

    void AddRange(const T* items, unsigned count) override {
        if (count == 0) return;
        KX_CHECK(count <= UINT32_MAX - count_);
        if (capacity_ < count_ + count && Holds(items)) {
            // The source lies in the storage that growth is about to replace.
            const std::ptrdiff_t offset = items - Data();
            Reserve(count_ + count);
            items = Data() + offset;
        } else {
            Reserve(count_ + count);
        }
        Helper::CopyConstruct(Data() + count_, items, count);
        count_ += count;
    }

    unsigned Add(const T& item) override {
        AddRange(&item, 1);
        return count_ - 1;
    }

    void RemoveAt(unsigned index) override {
        KX_CHECK(index < count_);
        T* data = Data();
        Helper::MoveDown(data + index, data + index + 1, count_ - index - 1);
        Helper::Destroy(data + count_ - 1, 1);
        --count_;
    }

    void RemoveAtFast(unsigned index) override {
        KX_CHECK(index < count_);
        T* data = Data();
        if (index != count_ - 1) Helper::MoveDown(data + index, data + count_ - 1, 1);
        Helper::Destroy(data + count_ - 1, 1);
        --count_;
    }

    void RemoveFirst(unsigned count) override {
        if (count >= count_) {
            Clear();
            return;
        }
        T* data = Data();
        Helper::MoveDown(data, data + count, count_ - count);
        Helper::Destroy(data + count_ - count, count);
        count_ -= count;
    }

    T Pop() override {
        KX_CHECK(count_ > 0);
        T* last = Data() + count_ - 1;
        T item(std::move(*last));
        Helper::Destroy(last, 1);
        --count_;
        return item;
    }

    void Clear() override {
        Helper::Destroy(Data(), count_);
        count_ = 0;
    }

    void Truncate(unsigned newCount) override {
        if (newCount > count_) return;
        Helper::Destroy(Data() + newCount, count_ - newCount);
        count_ = newCount;
    }

    void Reserve(unsigned capacity) override {
        if (capacity_ >= capacity) return;
        unsigned newCapacity = capacity_ > 1 ? capacity_ : 1;
        while (newCapacity < capacity) {
            KX_CHECK(newCapacity <= UINT32_MAX / 2);
            newCapacity *= 2;
        }
        KX_CHECK(newCapacity <= SIZE_MAX / sizeof(T));
        T* block = static_cast<T*>(std::malloc(static_cast<std::size_t>(newCapacity) * sizeof(T)));
        KX_CHECK(block != nullptr);
        Helper::Relocate(block, Data(), count_);
        std::free(heap_);
        heap_ = block;
        capacity_ = newCapacity;
    }

    unsigned GetCount() const override { return count_; }

    T* GetData() override { return Data(); }
    const T* GetData() const { return Data(); }

    const T& At(unsigned index) const override {
        KX_CHECK(index < count_);
        return Data()[index];
    }

    T& At(unsigned index) override {
        KX_CHECK(index < count_);
        return Data()[index];
    }

    // Sets the element count to `count`, which must not exceed GetCapacity(): new slots are
    // fresh elements (see StandardDataHelper), slots beyond `count` are destroyed.
    void Resize(unsigned count) {
        KX_CHECK(count <= capacity_);
        if (count > count_) {
            Helper::Construct(Data() + count_, count - count_);
            count_ = count;
        } else {
            Truncate(count);
        }
    }

    // Index of the first element equal to `value` (operator==), or -1.
    int Find(const T& value) const {
        const T* data = Data();
        for (unsigned i = 0; i < count_; ++i) {
            if (data[i] == value) return static_cast<int>(i);
        }
        return -1;
    }

    // Number of elements that fit without growing.
    unsigned GetCapacity() const { return capacity_; }

    // True once the elements have moved from the inline storage to a heap block.
    bool UsesHeapBlock() const { return heap_ != nullptr; }

private:
    T* Data() { return heap_ != nullptr ? heap_ : reinterpret_cast<T*>(inline_); }
    const T* Data() const { return heap_ != nullptr ? heap_ : reinterpret_cast<const T*>(inline_); }

    // True when `p` points into the live elements of this array.
    bool Holds(const T* p) const {
        const T* data = Data();
        return !std::less<const T*>()(p, data) && std::less<const T*>()(p, data + count_);
    }

    // Appends copies of all of `other`'s elements to this (empty) array.
    void CopyFrom(const HybridArray& other) {
        Reserve(other.count_);
        Helper::CopyConstruct(Data(), other.Data(), other.count_);
        count_ = other.count_;
    }

    // Moves `other`'s elements into this empty array: its heap block is taken over when it has
    // one (this array then has none), otherwise its inline elements are moved one by one.
    void TakeFrom(HybridArray& other) {
        if (other.heap_ != nullptr) {
            heap_ = other.heap_;
            capacity_ = other.capacity_;
            other.heap_ = nullptr;
            other.capacity_ = N;
        } else {
            Helper::Relocate(Data(), other.Data(), other.count_);
        }
        count_ = other.count_;
        other.count_ = 0;
    }

    unsigned count_ = 0;
    unsigned capacity_ = N;
    T* heap_ = nullptr;
    alignas(T) unsigned char inline_[N == 0 ? 1 : N * sizeof(T)];
};

}  // namespace common
}  // namespace kx
