#include "kx/logger/LoggerBackend.h"

#include <cstring>

#include "kx/common/HybridArray.h"
#include "kx/common/ThreadStart.h"
#include "kx/logger/FormatCut.h"
#include "kx/logger/LocalTime.h"

namespace kx {
namespace common {

namespace {

// Room a line needs beyond its text and location: timestamp, thread id, level text and
// separators.
constexpr unsigned kLineOverhead = 150;
// The location text holds at most this many characters.
constexpr std::size_t kLocationSize = 256;
constexpr char kBlankLevelText[] = "      ";

// The part of `path` after its last backslash or forward slash.
const char* FileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    return name;
}

}  // namespace

LoggerBackend::LoggerBackend(bool withTimestamp, bool withLocation, int maxLineLength)
    : withTimestamp_(withTimestamp),
      withLocation_(withLocation),
      maxLineLength_(maxLineLength),
      levelTexts_{"ERROR ", "INFO  ", "DEBUG "} {}

LoggerBackend::~LoggerBackend() = default;

void LoggerBackend::write(int level, const char* file, int line, const char* text) {
    if (file == nullptr) file = "";
    if (text == nullptr) text = "";

    char timestamp[32] = "";
    if (withTimestamp_) FormatLocalTime(timestamp, sizeof(timestamp));
    char location[kLocationSize] = "";
    if (withLocation_) FormatCut(location, sizeof(location), "%s (%d)", FileName(file), line);

    // The location is counted on top of the overhead so that a long path cannot push the text
    // out of the line.
    const unsigned size =
        static_cast<unsigned>(std::strlen(text) + std::strlen(location)) + kLineOverhead;
    HybridArray<char, 0> buffer;
    buffer.Reserve(size);
    buffer.Resize(size);
    char* lineText = buffer.GetData();
    const int length =
        format(lineText, size, timestamp, CurrentThreadId(), GetLevelText(level), location, text);
    if (maxLineLength_ > 4 && length > maxLineLength_) {
        lineText[maxLineLength_] = '\0';
        std::memcpy(lineText + maxLineLength_ - 3, "...", 3);
    }
    output(lineText);
}

int LoggerBackend::format(char* buffer, std::size_t size, const char* timestamp, unsigned threadId,
                          const char* levelText, const char* location, const char* text) {
    return FormatCut(buffer, size, "%s [%4u] [%-5s] %s : %s", timestamp, threadId, levelText,
                     location, text);
}

const char* LoggerBackend::GetLevelText(int level) const {
    if (level < 0 || level > 2) return kBlankLevelText;
    return levelTexts_[level];
}

}  // namespace common
}  // namespace kx
