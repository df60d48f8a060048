#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace kx {
namespace halyxclient {

// Transfers above this many bytes show a progress bar.
constexpr std::uint64_t kProgressThreshold = 4u * 1024u * 1024u;

// One line of a transfer's progress, e.g. "[#####...............]  25%   1.0/4.0 MiB".
std::string ProgressLine(std::uint64_t done, std::uint64_t total, int width = 20);

// Redraws the progress line of a large transfer in place on `out`; silent for small ones.
// Used by one thread.
class ProgressBar {
public:
    ProgressBar(std::ostream& out, std::uint64_t total);
    ~ProgressBar();  // ends the line if one was drawn

    void Update(std::uint64_t done);

private:
    std::ostream& out_;
    const std::uint64_t total_;
    const bool shown_;
    int lastPercent_ = -1;
};

}  // namespace halyxclient
}  // namespace kx
