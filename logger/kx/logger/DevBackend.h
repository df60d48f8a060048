#pragma once

#include "kx/logger/LoggerBackend.h"

namespace kx {
namespace logger {

// The debugger sink: writes every record to the process's debugger output (standard error on
// POSIX) as "<path>(<line>) : <text>" and a line feed, with the full source path and no
// timestamp, thread id or level. Created once at library load and never freed.
// Threads: called by its Logger under the logger's lock.
class DevBackend : public common::LoggerBackend {
public:
    DevBackend();

    // Builds "<path>(<line>) " (cut to 254 characters), formats the line into a buffer of the
    // text's and the location's length plus 150 bytes and hands it to `output`.
    void write(int level, const char* file, int line, const char* text) override;

    // Nothing is held back: every line leaves in `output`.
    void flush() override;

    // Hands `line` to the debugger output.
    void output(const char* line) override;

    // Writes "<location>: <text>\n" cut to fit `size`; the timestamp, thread id and level text
    // are not used.
    int format(char* buffer, std::size_t size, const char* timestamp, unsigned threadId,
               const char* levelText, const char* location, const char* text) override;
};

}  // namespace logger
}  // namespace kx
