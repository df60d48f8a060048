#include "SplitPlan.h"

namespace kx {
namespace fuzz {

namespace {

constexpr std::size_t kLargestPieces[8] = {1, 2, 3, 7, 64, 512, 4096, 65536};

}  // namespace

SplitPlan::SplitPlan(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t first = size > 0 ? data[0] : 0;
    const std::uint8_t second = size > 1 ? data[1] : 0;
    const std::size_t header = size < 2 ? size : 2;
    stream_ = data + header;
    left_ = size - header;
    largest_ = kLargestPieces[first % 8];
    // Never zero: the generator would stay at zero.
    state_ = 0x9E3779B9u ^ (static_cast<std::uint32_t>(first) << 8 | second);
}

std::uint32_t SplitPlan::Random() {
    // xorshift32
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
}

bool SplitPlan::Next(const std::uint8_t*& piece, std::size_t& length) {
    if (left_ == 0) return false;
    const std::size_t wanted = 1 + Random() % largest_;
    length = wanted < left_ ? wanted : left_;
    piece = stream_;
    stream_ += length;
    left_ -= length;
    return true;
}

unsigned SplitPlan::UpdatesAfterPiece() {
    return Random() % 3;
}

}  // namespace fuzz
}  // namespace kx
