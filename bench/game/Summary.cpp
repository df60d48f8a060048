#include "game/Summary.h"

#include <cmath>
#include <limits>

#include "game/AllocationKinds.h"
#include "game/Percentiles.h"

namespace kx {
namespace bench {

namespace {

const double kNotMeasured = std::numeric_limits<double>::quiet_NaN();
constexpr double kMiB = 1024.0 * 1024.0;

std::string FormatNumber(double value) {
    if (std::isnan(value)) return "-";
    char text[32];
    const double magnitude = std::fabs(value);
    snprintf(text, sizeof(text),
             magnitude >= 100  ? "%.0f"
             : magnitude >= 10 ? "%.1f"
                               : "%.2f",
             value);
    return text;
}

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string JsonNumber(double value) {
    if (std::isnan(value)) return "null";
    char text[32];
    snprintf(text, sizeof(text), "%.6g", value);
    return text;
}

}  // namespace

Summary::Summary(const std::vector<RunRecord>& runs, bool native, bool smoke,
                 const AllocationSites& sites)
    : runs_(runs), native_(native), smoke_(smoke), sites_(sites) {
    for (const RunRecord& run : runs_) {
        const std::string failure = run.name + ": " + run.error;
        if (!run.failed) continue;
        bool known = false;
        for (const std::string& seen : failures_) known = known || seen == failure;
        if (!known) failures_.push_back(failure);
    }

    AddThroughput("savegame read, one Read, 64 KiB parts", "read/library/64KiB", "read/raw/64KiB",
                  0.5);
    Add("  game thread's CPU per MiB read", MedianOf("read/library/64KiB", "game_cpu_ms_per_MiB"),
        "ms/MiB", kNotMeasured, "", -1);
    AddThroughput("savegame read, one Read, 1 MiB parts", "read/library/1MiB", "read/raw/1MiB",
                  0.5);
    Add("  game thread's CPU per MiB read", MedianOf("read/library/1MiB", "game_cpu_ms_per_MiB"),
        "ms/MiB", kNotMeasured, "", -1);
    AddThroughput("savegame write, 1 MiB writes", "write/library/1MiB", "write/raw/1MiB",
                  kNotMeasured);

    const double p50 = MedianOf("roundtrip/library", "p50_us");
    const double rawP50 = MedianOf("roundtrip/raw", "p50_us");
    Add("GetLoginDetails round trip, p50", p50, "us", rawP50, "ratio <= 2.5",
        smoke_ || std::isnan(p50 / rawP50) ? -1 : p50 / rawP50 <= 2.5);
    Add("GetLoginDetails round trip, p99", MedianOf("roundtrip/library", "p99_us"), "us",
        MedianOf("roundtrip/raw", "p99_us"), "", -1);

    const double update = MedianOf("update/idle", "");
    Add("Update, open connection, nothing pending", update, "ns/call", kNotMeasured,
        "< 100 ns natively", smoke_ || !native_ || std::isnan(update) ? -1 : update < 100);

    // A request returns at once: the game's thread pays for encoding and copying only.
    const double loginCall = MedianOf("call/login", "") / 1000;
    Add("game-thread time of a GetLoginDetails call", loginCall, "us", kNotMeasured,
        "< 50 us natively", smoke_ || !native_ || std::isnan(loginCall) ? -1 : loginCall < 50);
    AddCallAgainstCopy("game-thread time of a 1 MiB Write call", "1MiB");
    AddCallAgainstCopy("game-thread time of a largest Write call (64 MiB - 64 B)", "max");

    AddAllocations("heap allocations per login round trip", "allocations/login");
    AddAllocations("heap allocations per login round trip, C interface", "allocations/login-c");
    AddAllocations("heap allocations per 64 KiB read", "allocations/read");
    AddAllocations("heap allocations per 64 KiB write", "allocations/write");

    Add("CPU of the library's threads, idle connection", MedianOf("cpu/idle", "cpu_ms_per_10s"),
        "ms per 10 s", kNotMeasured, "", -1);
    Add("  wake-ups of the library's threads", MedianOf("cpu/idle", "wakeups_per_10s"), "per 10 s",
        kNotMeasured, "", -1);
    Add("  library threads", MedianOf("cpu/idle", "threads"), "", kNotMeasured, "", -1);
}

double Summary::MedianOf(const std::string& name, const std::string& counter) const {
    std::vector<double> values;
    for (const RunRecord& run : runs_) {
        if (run.name != name || run.failed) continue;
        if (counter.empty()) {
            values.push_back(run.realNanosecondsPerIteration);
        } else {
            const auto found = run.counters.find(counter);
            if (found != run.counters.end()) values.push_back(found->second);
        }
    }
    return values.empty() ? kNotMeasured : Median(values);
}

void Summary::Add(const std::string& name, double value, const std::string& unit, double baseline,
                  const std::string& target, int met) {
    const double ratio = std::isnan(baseline) || baseline == 0 ? kNotMeasured : value / baseline;
    figures_.push_back(Figure{name, value, unit, baseline, ratio, target, met});
}

void Summary::AddCallAgainstCopy(const std::string& figure, const std::string& size) {
    const double value = MedianOf("call/write/" + size, "") / 1000;
    const double copy = MedianOf("call/copy/" + size, "") / 1000;
    const bool judged = !smoke_ && native_ && !std::isnan(value / copy);
    Add(figure, value, "us", copy, "<= 1.5 x copy natively", judged ? value <= 1.5 * copy : -1);
}

void Summary::AddThroughput(const std::string& figure, const std::string& library,
                            const std::string& raw, double atLeast) {
    const double value = MedianOf(library, "bytes_per_second") / kMiB;
    const double baseline = MedianOf(raw, "bytes_per_second") / kMiB;
    const bool judged = !smoke_ && !std::isnan(atLeast) && !std::isnan(value / baseline);
    Add(figure, value, "MiB/s", baseline,
        std::isnan(atLeast) ? "" : "ratio >= " + FormatNumber(atLeast),
        judged ? value / baseline >= atLeast : -1);
}

void Summary::AddAllocations(const std::string& figure, const std::string& benchmark) {
    const double total = MedianOf(benchmark, "total");
    Add(figure, total, "per round trip", kNotMeasured, "", -1);
    if (std::isnan(total)) return;
    const double misses = MedianOf(benchmark, "pool_misses");
    Add("  buffers and reference counters taken from the heap", misses, "per round trip",
        kNotMeasured, "0", std::isnan(misses) ? -1 : misses == 0);
    const double adapterMisses = MedianOf(benchmark, "adapter_pool_misses");
    Add("  callback adapters taken from the heap", adapterMisses, "per round trip", kNotMeasured,
        "0", std::isnan(adapterMisses) ? -1 : adapterMisses == 0);
    const double adaptersLive = MedianOf(benchmark, "adapters_live");
    Add("  callback adapters out of the pool afterwards", adaptersLive, "", kNotMeasured, "0",
        std::isnan(adaptersLive) ? -1 : adaptersLive == 0);
    for (const char* category : kAllocationCategories) {
        const double count = MedianOf(benchmark, category);
        if (std::isnan(count) || count == 0) continue;
        Add(std::string("  ") + category, count, "per round trip", kNotMeasured, "", -1);
        if (std::string(category) != "other") continue;
        const auto sites = sites_.find(benchmark);
        if (sites == sites_.end()) continue;
        for (const auto& site : sites->second) {
            Add("    " + site.first, site.second, "per round trip", kNotMeasured, "", -1);
        }
    }
}

void Summary::Print(std::FILE* out) const {
    fprintf(out, "%-56s %22s %22s %7s  %-18s\n", "figure", "library", "baseline", "ratio",
            "target");
    for (const Figure& figure : figures_) {
        const std::string value = FormatNumber(figure.value) + " " + figure.unit;
        const std::string baseline =
            std::isnan(figure.baseline) ? "" : FormatNumber(figure.baseline) + " " + figure.unit;
        const std::string ratio = std::isnan(figure.ratio) ? "" : FormatNumber(figure.ratio);
        const char* verdict = figure.met == 1 ? "met" : figure.met == 0 ? "MISSED" : "";
        fprintf(out, "%-56s %22s %22s %7s  %-18s %s\n", figure.name.c_str(), value.c_str(),
                baseline.c_str(), ratio.c_str(), figure.target.c_str(), verdict);
    }
    for (const std::string& failure : failures_) fprintf(out, "FAILED %s\n", failure.c_str());
}

bool Summary::WriteJson(const std::string& path, const std::string& platform) const {
    std::FILE* out = fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    fprintf(out, "{\n  \"platform\": %s,\n  \"mode\": %s,\n  \"figures\": [",
            JsonString(platform).c_str(), smoke_ ? "\"smoke\"" : "\"full\"");
    for (std::size_t i = 0; i < figures_.size(); ++i) {
        const Figure& figure = figures_[i];
        fprintf(out,
                "%s\n    {\"figure\": %s, \"value\": %s, \"unit\": %s, \"baseline\": %s, "
                "\"ratio\": %s, \"target\": %s, \"met\": %s}",
                i == 0 ? "" : ",", JsonString(figure.name).c_str(),
                JsonNumber(figure.value).c_str(), JsonString(figure.unit).c_str(),
                JsonNumber(figure.baseline).c_str(), JsonNumber(figure.ratio).c_str(),
                JsonString(figure.target).c_str(),
                figure.met == 1   ? "true"
                : figure.met == 0 ? "false"
                                  : "null");
    }
    fprintf(out, "\n  ],\n  \"failures\": [");
    for (std::size_t i = 0; i < failures_.size(); ++i) {
        fprintf(out, "%s%s", i == 0 ? "" : ", ", JsonString(failures_[i]).c_str());
    }
    fprintf(out, "]\n}\n");
    return fclose(out) == 0;
}

}  // namespace bench
}  // namespace kx
