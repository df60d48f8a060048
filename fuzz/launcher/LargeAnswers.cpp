#include "LargeAnswers.h"

#include "InputReader.h"
#include "kx/testing/Frame.h"

namespace kx {
namespace fuzz {

namespace {

constexpr unsigned kInstructionSize = 6;

void AppendVarint(std::string& out, std::uint64_t value) {
    for (; value >= 0x80; value >>= 7) out.push_back(static_cast<char>(value | 0x80));
    out.push_back(static_cast<char>(value));
}

// A length-delimited field of `length` bytes `fill`.
void AppendText(std::string& out, unsigned field, std::size_t length, char fill) {
    out.push_back(static_cast<char>(field << 3 | 2));
    AppendVarint(out, length);
    out.append(length, fill);
}

void AppendMessage(std::string& out, unsigned field, const std::string& payload) {
    out.push_back(static_cast<char>(field << 3 | 2));
    AppendVarint(out, payload.size());
    out += payload;
}

// Appends the frame of answer `requestId` whose slot `field` holds `payload`, when it fits.
void AppendFrame(std::string& stream, unsigned requestId, unsigned field,
                 const std::string& payload) {
    std::string body;
    body.push_back(0x08);
    AppendVarint(body, requestId);
    AppendMessage(body, field, payload);
    if (stream.size() + 4 + body.size() > LargeAnswers::kMaxStream) return;
    stream += testing::Frame(body);
}

// Sizes beyond what one frame holds are cut to that: only the frame size matters then.
std::size_t Within(std::size_t count, std::size_t unitSize) {
    const std::size_t most = LargeAnswers::kMaxStream / (unitSize != 0 ? unitSize : 1);
    return count < most ? count : most;
}

}  // namespace

std::string LargeAnswers::Expand(const std::uint8_t* data, std::size_t size) {
    InputReader input(data, size);
    std::string stream;
    while (input.HasMore()) {
        std::size_t available;
        const std::uint8_t* instruction = input.Piece(kInstructionSize, available);
        if (available < kInstructionSize) break;
        const unsigned kind = instruction[0] % 4;
        const unsigned requestId = instruction[1];
        const unsigned mantissa = static_cast<unsigned>(instruction[2]) << 8 | instruction[3];
        const std::size_t count = static_cast<std::size_t>(mantissa) << (instruction[4] % 8);
        const std::uint8_t detail = instruction[5];
        std::string payload;
        if (kind == 0) {
            // ListSavegamesRsp: `count` SavegameInfo entries (name, slot 1, size 0).
            std::string entry;
            AppendText(entry, 1, detail * 5u, 'n');
            entry += std::string("\x10\x01\x18\x00", 4);
            std::string framed;
            AppendMessage(framed, 1, entry);
            const std::size_t entries = Within(count, framed.size());
            payload.reserve(entries * framed.size());
            for (std::size_t i = 0; i < entries; ++i) payload += framed;
            AppendFrame(stream, requestId, 5, payload);
        } else if (kind == 1) {
            // GetLoginDetailsRsp: user name, password and key of `count` bytes each.
            const std::size_t length = Within(count, 3);
            for (unsigned field = 1; field <= 3; ++field) {
                AppendText(payload, field, length, static_cast<char>(detail));
            }
            AppendFrame(stream, requestId, 3, payload);
        } else if (kind == 2) {
            // GetOsiRsp: a pipe name of `count` bytes, status Ok.
            AppendText(payload, 1, Within(count, 1), static_cast<char>(detail));
            payload += std::string("\x10\x00", 2);
            AppendFrame(stream, requestId, 4, payload);
        } else {
            std::size_t length;
            const std::uint8_t* verbatim = input.Piece(mantissa & 0xff, length);
            if (stream.size() + length > kMaxStream) break;
            stream.append(reinterpret_cast<const char*>(verbatim), length);
        }
    }
    return stream;
}

}  // namespace fuzz
}  // namespace kx
