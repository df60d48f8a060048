#include "kx/devlauncher/EventLog.h"

namespace kx {
namespace devlauncher {

EventLog::EventLog(std::ostream& out, bool verbose) : out_(out), verbose_(verbose) {}

void EventLog::Line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << "halyx_devlauncher: " << text << std::endl;
}

void EventLog::Detail(const std::string& text) {
    if (verbose_) {
        Line(text);
    }
}

}  // namespace devlauncher
}  // namespace kx
