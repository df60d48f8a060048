#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kx {
namespace fuzz {

// Expands a short fuzz input into the frames of answers that are large where the session bounds
// what an answer may cost: lists of many entries with long names, login details and server pipe
// names of long texts, up to and past the largest frame. A mutation of a few bytes then moves an
// answer across a bound, which a byte-level mutation of the frames themselves would take
// millions of bytes to do.
//
// The input is a sequence of 6-byte instructions (a shorter tail is ignored):
//   kind      (byte % 4) 0 list answer, 1 login answer, 2 server answer, 3 ordinary bytes
//   requestId (byte)
//   mantissa  (2 bytes, most significant first) and
//   shift     (byte % 8): the size, mantissa << shift, is the number of list entries or the
//             length of each text; for kind 3, the low byte of the mantissa is the number of
//             following input bytes copied verbatim
//   detail    (byte) list: each entry's name has detail * 5 bytes; texts: their fill byte
// The expansion stops before it would pass kMaxStream bytes.
class LargeAnswers {
public:
    // Room for one largest frame and a few more bytes.
    static constexpr std::size_t kMaxStream = (64u << 20) + (1u << 20);

    // The byte stream of the answers `data` describes.
    static std::string Expand(const std::uint8_t* data, std::size_t size);
};

}  // namespace fuzz
}  // namespace kx
