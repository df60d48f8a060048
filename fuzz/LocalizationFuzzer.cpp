// Writes a fuzz input as a localization file, loads it, and compares the table with a model
// parser: a leading byte-order mark is skipped, the rest must be acceptable UTF-8, lines end at
// CR LF, a line with exactly one tab is a trimmed key and value, the later of equal keys wins.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "UnicodeModel.h"
#include "kx/common/Localization.h"
#include "kx/common/String.h"

namespace {

using kx::common::Localization;
using kx::common::String;
using kx::fuzz::CodePoints;

// The file every input is written to, in a directory of its own that is removed at exit. It
// lives in memory (/dev/shm) where there is such a place: a disk file system may flush a file
// rewritten in place on every close, which makes each run a hundred times slower.
class ScratchFile {
public:
    ScratchFile() {
        const char* base = std::getenv("TMPDIR");
        for (const char* candidate : {base, "/dev/shm", "/tmp"}) {
            if (candidate == nullptr) continue;
            directory_ = std::string(candidate) + "/kx-loc-fuzz-XXXXXX";
            if (mkdtemp(&directory_[0]) != nullptr) break;
            directory_.clear();
        }
        KX_FUZZ_REQUIRE(!directory_.empty());
        path_ = directory_ + "/xx_loc.txt";
    }
    ~ScratchFile() {
        std::remove(path_.c_str());
        rmdir(directory_.c_str());
    }

    const char* Write(const std::uint8_t* data, std::size_t size) {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        KX_FUZZ_REQUIRE(file != nullptr);
        KX_FUZZ_REQUIRE(std::fwrite(data, 1, size, file) == size);
        KX_FUZZ_REQUIRE(std::fclose(file) == 0);
        return path_.c_str();
    }

private:
    std::string directory_;
    std::string path_;
};

CodePoints ModelTrim(const CodePoints& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && kx::fuzz::ModelIsWhitespace(text[begin])) ++begin;
    while (end > begin && kx::fuzz::ModelIsWhitespace(text[end - 1])) --end;
    return CodePoints(text.begin() + begin, text.begin() + end);
}

struct ModelTable {
    std::map<CodePoints, CodePoints> entries;
    // Trimmed lines that are no entry and still hold a tab: never a key, so never found.
    std::vector<CodePoints> misses;
};

ModelTable ModelParse(const std::uint8_t* data, std::size_t size) {
    ModelTable table;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        data += 3;
        size -= 3;
    }
    const auto text = kx::fuzz::ModelDecodeUtf8(data, size);
    if (!text) return table;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = start;
        while (end < text->size() &&
               !((*text)[end] == '\r' && end + 1 < text->size() && (*text)[end + 1] == '\n')) {
            ++end;
        }
        // Zero code points do not survive into a line's pieces.
        CodePoints line;
        std::size_t tab = 0;
        unsigned tabs = 0;
        for (std::size_t i = start; i < end; ++i) {
            const std::uint32_t cp = (*text)[i];
            if (cp == 0) continue;
            if (cp == '\t') {
                ++tabs;
                tab = line.size();
            }
            line.push_back(cp);
        }
        if (tabs == 1) {
            const CodePoints key(line.begin(), line.begin() + tab);
            const CodePoints value(line.begin() + tab + 1, line.end());
            table.entries[ModelTrim(key)] = ModelTrim(value);
        } else if (tabs > 1) {
            const CodePoints trimmed = ModelTrim(line);
            for (const std::uint32_t cp : trimmed) {
                if (cp == '\t') {
                    table.misses.push_back(trimmed);
                    break;
                }
            }
        }
        if (end == text->size()) break;
        start = end + 2;
    }
    return table;
}

// The String holding `codePoints`, which are all acceptable in UTF-8 and none is zero.
String MakeString(const CodePoints& codePoints) {
    const std::vector<std::uint8_t> bytes = kx::fuzz::ModelEncodeUtf8(codePoints);
    String string(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    KX_FUZZ_REQUIRE(string.GetLength() == codePoints.size());
    return string;
}

void RequireText(const String& string, const CodePoints& expected) {
    KX_FUZZ_REQUIRE(string.GetLength() == expected.size());
    for (unsigned i = 0; i < string.GetLength(); ++i) {
        KX_FUZZ_REQUIRE(string.GetCodePoint(i) == expected[i]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchFile file;
    Localization localization;
    KX_FUZZ_REQUIRE(localization.Load(file.Write(data, size)));

    const ModelTable model = ModelParse(data, size);
    KX_FUZZ_REQUIRE(localization.IsUnusable() == model.entries.empty());
    for (const auto& entry : model.entries) {
        RequireText(localization.Lookup(MakeString(entry.first)), entry.second);
    }
    for (const CodePoints& miss : model.misses) {
        RequireText(localization.Lookup(MakeString(miss)), CodePoints());
    }
    return 0;
}
