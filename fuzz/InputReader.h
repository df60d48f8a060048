#pragma once

#include <cstddef>
#include <cstdint>

namespace kx {
namespace fuzz {

// Hands out a fuzz input piece by piece; once it is used up every read gives zeros or empty
// pieces, so a target's decoding of its input never fails.
class InputReader {
public:
    // `data` must stay alive while the reader is in use.
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // True while bytes are left.
    bool HasMore() const { return position_ < size_; }

    // The next byte, or 0 at the end.
    std::uint8_t Byte() { return HasMore() ? data_[position_++] : 0; }

    // The next two bytes as a little-endian number.
    std::uint16_t Uint16() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }

    // The next four bytes as a little-endian number.
    std::uint32_t Uint32() {
        const std::uint32_t low = Uint16();
        return low | (static_cast<std::uint32_t>(Uint16()) << 16);
    }

    // The next `wanted` bytes or as many as are left; their count goes to `length`.
    const std::uint8_t* Piece(std::size_t wanted, std::size_t& length) {
        const std::size_t left = size_ - position_;
        length = wanted < left ? wanted : left;
        const std::uint8_t* piece = data_ + position_;
        position_ += length;
        return piece;
    }

    // Everything not read yet; its count goes to `length`.
    const std::uint8_t* Rest(std::size_t& length) { return Piece(size_ - position_, length); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace fuzz
}  // namespace kx
