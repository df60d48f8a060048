#include "kx/clientbox/DropLog.h"

#include "kx/logger/LogRecord.h"

namespace kx {
namespace clientbox {

DropLog::DropLog(common::TickSource source)
    : linesInFull_(0), unreported_(0), summary_(kSummaryIntervalMs, source) {}

bool DropLog::Record(uint32_t length, const char* reason, const char* detail) {
    if (linesInFull_ < kLinesInFull) {
        ++linesInFull_;
        KX_LOG(common::kLogError) << "Dropped a message that " << reason << ", length = " << length
                                  << detail << ".";
        // The summaries count from here on.
        summary_.Restart(kSummaryIntervalMs);
        return true;
    }
    ++unreported_;
    if (!summary_.HasElapsed(nullptr)) return false;
    KX_LOG(common::kLogError) << "Dropped " << unreported_ << " more messages that could not be "
                              << "served; the last one " << reason << ", length = " << length
                              << ".";
    unreported_ = 0;
    return true;
}

}  // namespace clientbox
}  // namespace kx
