#pragma once

#include <cstdint>
#include <string>

#include "HalyxDll.pb.h"
#include "kx/devlauncher/ByteWriter.h"
#include "kx/devlauncher/ClientSession.h"
#include "kx/devlauncher/EventLog.h"
#include "kx/devlauncher/FaultOptions.h"

namespace kx {
namespace devlauncher {

// Frames one connection's answers and writes them, logging each in verbose mode and applying
// the fault switches on the way. Used by the connection's thread only; the writer, the options
// and the log must outlive it.
class AnswerChannel : public AnswerSink {
public:
    AnswerChannel(ByteWriter& writer, const FaultOptions& faults, EventLog& log, std::string who);

    // Tells the channel which request the next answers belong to (a fault needs its range).
    void BeginRequest(const protocol::halyxdll::Req& req);

    // Writes one answer (or its malformed stand-in). Returns false when the connection failed
    // or is closing.
    bool Send(const protocol::halyxdll::Rsp& rsp) override;

    // Whether the close-after switch says the connection must close now.
    bool Closing() const { return closing_; }

private:
    bool Write(const std::string& frame);

    ByteWriter& writer_;
    const FaultOptions& faults_;
    EventLog& log_;
    const std::string who_;
    std::uint32_t sent_ = 0;       // answers written so far
    std::uint32_t readRange_ = 0;  // numBytes of the current read request
    bool closing_;
    bool failed_ = false;
};

}  // namespace devlauncher
}  // namespace kx
