#include "kx/logger/DevBackend.h"

#include <cstring>

#include "kx/common/DebuggerOutput.h"
#include "kx/common/HybridArray.h"
#include "kx/logger/FormatCut.h"

namespace kx {
namespace logger {

namespace {

// Room a line needs beyond its text and location.
constexpr unsigned kLineOverhead = 150;
// The location holds at most 254 characters and its zero.
constexpr std::size_t kLocationSize = 255;

}  // namespace

DevBackend::DevBackend() : LoggerBackend(false, true, 0) {}

void DevBackend::write(int level, const char* file, int line, const char* text) {
    if (file == nullptr) file = "";
    if (text == nullptr) text = "";

    char location[kLocationSize];
    common::FormatCut(location, sizeof(location), "%s(%d) ", file, line);

    // The location is counted on top of the overhead so that a long path cannot push the text
    // out of the line.
    const unsigned size =
        static_cast<unsigned>(std::strlen(text) + std::strlen(location)) + kLineOverhead;
    common::HybridArray<char, 0> buffer;
    buffer.Reserve(size);
    buffer.Resize(size);
    format(buffer.GetData(), size, "", 0, GetLevelText(level), location, text);
    output(buffer.GetData());
}

void DevBackend::flush() {}

void DevBackend::output(const char* line) {
    common::WriteDebuggerOutput(line);
}

int DevBackend::format(char* buffer, std::size_t size, const char*, unsigned, const char*,
                       const char* location, const char* text) {
    return common::FormatCut(buffer, size, "%s: %s\n", location, text);
}

}  // namespace logger
}  // namespace kx
