#include "kx/common/Localization.h"

#include "kx/common/FileContents.h"
#include "kx/common/HybridArray.h"

namespace kx {
namespace common {

namespace {

constexpr unsigned char kByteOrderMark[3] = {0xEF, 0xBB, 0xBF};

bool StartsWithByteOrderMark(const HybridArray<char, 0>& bytes) {
    if (bytes.GetCount() < 3) return false;
    const char* data = bytes.GetData();
    for (unsigned i = 0; i < 3; ++i) {
        if (static_cast<unsigned char>(data[i]) != kByteOrderMark[i]) return false;
    }
    return true;
}

}  // namespace

bool Localization::Load(const char* path) {
    HybridArray<char, 0> bytes;
    if (!ReadFileContents(path, kMaxFileSize, bytes)) return false;
    // Files saved by common editors start with a byte-order mark, which would otherwise become
    // part of the first key.
    const unsigned skip = StartsWithByteOrderMark(bytes) ? 3 : 0;
    String text;
    const int length = static_cast<int>(bytes.GetCount() - skip);
    if (text.SetUtf8(bytes.GetData() + skip, length)) AddEntries(text);
    return true;
}

void Localization::AddEntries(const String& text) {
    const String lineEnd("\r\n");
    unsigned position = 0;
    for (;;) {
        const int end = text.Find(lineEnd, position);
        const String line = end < 0 ? text.Substring(position)
                                    : text.Substring(position, static_cast<unsigned>(end));
        // An entry has two pieces; a third one already disqualifies the line, however many
        // tabs follow.
        HybridArray<String, 0> pieces;
        if (line.Split('\t', pieces, 3) && pieces.GetCount() == 2) {
            entries_.Set(pieces.At(0).Trim(), pieces.At(1).Trim());
        }
        if (end < 0) return;
        position = static_cast<unsigned>(end) + lineEnd.GetLength();
    }
}

const String& Localization::Lookup(const String& key) {
    if (!entries_.Get(key, found_)) return emptyText_;
    return found_;
}

}  // namespace common
}  // namespace kx
