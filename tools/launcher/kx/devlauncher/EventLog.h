#pragma once

#include <mutex>
#include <ostream>
#include <string>

namespace kx {
namespace devlauncher {

// The launcher's log: whole lines on one stream, prefixed with the program name. Detail lines
// (one per request and answer) appear only in verbose mode.
//
// Any thread may call any method; mutex_ keeps lines from interleaving. The stream must outlive
// the log.
class EventLog {
public:
    EventLog(std::ostream& out, bool verbose);

    bool Verbose() const { return verbose_; }

    // Writes `text` as one line.
    void Line(const std::string& text);

    // Writes `text` as one line in verbose mode only.
    void Detail(const std::string& text);

private:
    std::ostream& out_;
    const bool verbose_;
    std::mutex mutex_;
};

}  // namespace devlauncher
}  // namespace kx
