#include "kx/halyxclient/ProgressBar.h"

#include <cstdio>

namespace kx {
namespace halyxclient {

std::string ProgressLine(std::uint64_t done, std::uint64_t total, int width) {
    const double fraction =
        total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const int filled = static_cast<int>(fraction * width);
    std::string line = "[" + std::string(filled, '#') + std::string(width - filled, '.') + "]";
    char numbers[64];
    std::snprintf(numbers, sizeof(numbers), " %3d%% %6.1f/%.1f MiB",
                  static_cast<int>(fraction * 100.0), static_cast<double>(done) / 1048576.0,
                  static_cast<double>(total) / 1048576.0);
    return line + numbers;
}

ProgressBar::ProgressBar(std::ostream& out, std::uint64_t total)
    : out_(out), total_(total), shown_(total > kProgressThreshold) {}

ProgressBar::~ProgressBar() {
    if (shown_ && lastPercent_ >= 0) {
        out_ << "\n";
    }
}

void ProgressBar::Update(std::uint64_t done) {
    if (!shown_) {
        return;
    }
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        out_ << "\r" << ProgressLine(done, total_) << std::flush;
    }
}

}  // namespace halyxclient
}  // namespace kx
