#pragma once

namespace kx {
namespace clientbox {

// A byte stream. Counts are unsigned 32-bit; a short result reports that fewer bytes were
// there, never an error. The order of the virtual operations is fixed (slot order).
class IStream {
public:
    virtual ~IStream() {}

    // Number of unread bytes.
    virtual unsigned GetSize() const = 0;
    // Takes up to `count` bytes into `destination`; returns the count taken.
    virtual unsigned Read(void* destination, unsigned count) = 0;
    // Consumes up to `count` bytes; returns the count skipped.
    virtual unsigned Skip(unsigned count) = 0;
    // Copies up to `count` bytes into `destination` without consuming them; returns the count.
    virtual unsigned Peek(void* destination, unsigned count) = 0;
    // Appends `count` bytes from `source`; returns the count written.
    virtual unsigned Write(const void* source, unsigned count) = 0;
};

}  // namespace clientbox
}  // namespace kx
