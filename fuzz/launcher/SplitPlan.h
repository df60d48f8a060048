#pragma once

#include <cstddef>
#include <cstdint>

namespace kx {
namespace fuzz {

// How a fuzz input is cut into the pieces a launcher writes: the first two bytes of the input
// choose the largest piece (1, 2, 3, 7, 64, 512, 4096 or 65536 bytes) and seed the choice of
// each piece's size and of the number of updates the game runs after it; the rest of the input
// is the byte stream.
class SplitPlan {
public:
    // `data` must stay alive while the plan is in use.
    SplitPlan(const std::uint8_t* data, std::size_t size);

    // The next piece of the stream: false once the stream is used up.
    bool Next(const std::uint8_t*& piece, std::size_t& length);
    // Updates the game runs after the current piece: 0 to 2.
    unsigned UpdatesAfterPiece();

private:
    std::uint32_t Random();

    const std::uint8_t* stream_;
    std::size_t left_;
    std::size_t largest_;
    std::uint32_t state_;
};

}  // namespace fuzz
}  // namespace kx
