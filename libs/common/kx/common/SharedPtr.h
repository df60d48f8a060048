#pragma once

#include <type_traits>

#include "kx/common/Contract.h"
#include "kx/common/ReferenceCounter.h"
#include "kx/common/TemplatedReferenceCounter.h"

namespace kx {
namespace common {

template <typename T>
class IntrusivePtrBase;
template <typename T>
class WeakPtr;

// Shared ownership of an object through its ReferenceCounter. A value type: each non-empty
// SharedPtr owns one reference, and the release that brings the count to 0 destroys the object
// on the releasing thread. Different SharedPtr instances of one object may be copied, assigned
// and released on any threads at once; one instance is used by one thread at a time.
template <typename T>
class SharedPtr {
public:
    // Empty.
    SharedPtr() : counter_(nullptr), object_(nullptr) {}

    // Takes ownership of `object` (null gives an empty pointer). For a T that derives from
    // IntrusivePtrBase<T> the object's own counter is used, and this adopts the reference it
    // was created with: make exactly one SharedPtr from such a raw pointer, and make it as a
    // SharedPtr<T> of that very T. Any other object gets a new counter from the pool (count 1).
    explicit SharedPtr(T* object) : counter_(nullptr), object_(object) {
        if (object == nullptr) return;
        if constexpr (std::is_base_of<IntrusivePtrBase<T>, T>::value) {
            TemplatedReferenceCounter<T>* counter = object->IntrusivePtrBase<T>::counter_;
            counter->AdoptObject(object);
            counter_ = counter;
        } else {
            counter_ = new TemplatedReferenceCounter<T>(object);
        }
    }

    // Shares `other`'s object.
    SharedPtr(const SharedPtr& other) : counter_(other.counter_), object_(other.object_) {
        AddReference();
    }

    // Shares the object of a pointer to a derived type, seen as a T.
    template <typename U, typename = std::enable_if_t<std::is_convertible<U*, T*>::value>>
    SharedPtr(const SharedPtr<U>& other) : counter_(other.counter_), object_(other.object_) {
        AddReference();
    }

    ~SharedPtr() { Release(counter_); }

    // Shares `other`'s object. Pointers with the same counter change no count; otherwise the
    // new object gains its reference before the old one loses this pointer's.
    SharedPtr& operator=(const SharedPtr& other) {
        Assign(other.counter_, other.object_);
        return *this;
    }

    template <typename U, typename = std::enable_if_t<std::is_convertible<U*, T*>::value>>
    SharedPtr& operator=(const SharedPtr<U>& other) {
        Assign(other.counter_, other.object_);
        return *this;
    }

    // Empties the pointer, then releases its reference (which may destroy the object).
    void Reset() {
        ReferenceCounter* counter = counter_;
        counter_ = nullptr;
        object_ = nullptr;
        Release(counter);
    }

    // Exchanges the two pointers' objects; no count changes.
    void Swap(SharedPtr& other) {
        ReferenceCounter* counter = counter_;
        T* object = object_;
        counter_ = other.counter_;
        object_ = other.object_;
        other.counter_ = counter;
        other.object_ = object;
    }

    // The object, or null when empty.
    T* Get() const { return object_; }

    // The object; the pointer must not be empty (contract).
    T* operator->() const {
        KX_CHECK(object_ != nullptr);
        return object_;
    }

    T& operator*() const {
        KX_CHECK(object_ != nullptr);
        return *object_;
    }

    bool IsNull() const { return object_ == nullptr; }
    explicit operator bool() const { return object_ != nullptr; }

    // The counter that keeps the object alive, or null when empty.
    ReferenceCounter* GetCounter() const { return counter_; }

private:
    template <typename U>
    friend class SharedPtr;
    friend class WeakPtr<T>;
    friend class IntrusivePtrBase<T>;

    // Takes over a reference that the caller has already added to `counter`.
    struct AdoptReference {};
    SharedPtr(ReferenceCounter* counter, T* object, AdoptReference)
        : counter_(counter), object_(object) {}

    // A result of 1 means the count had fallen to 0 and the object is being destroyed: copying
    // a pointer to it is a contract violation (only WeakPtr::Lock may meet a count of 0).
    void AddReference() {
        if (counter_ != nullptr) KX_CHECK(counter_->AddReference() != 1);
    }

    static void Release(ReferenceCounter* counter) {
        if (counter != nullptr && counter->ReleaseReference() == 0) counter->Destroy();
    }

    void Assign(ReferenceCounter* counter, T* object) {
        if (counter == counter_) return;
        ReferenceCounter* old = counter_;
        counter_ = counter;
        object_ = object;
        AddReference();
        Release(old);
    }

    ReferenceCounter* counter_;
    T* object_;
};

}  // namespace common
}  // namespace kx
