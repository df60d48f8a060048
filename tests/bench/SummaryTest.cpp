#include "game/Summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kx {
namespace bench {
namespace {

RunRecord Record(const std::string& name, std::map<std::string, double> counters,
                 double nanoseconds = 0) {
    RunRecord run;
    run.name = name;
    run.counters = std::move(counters);
    run.realNanosecondsPerIteration = nanoseconds;
    return run;
}

const Figure* Find(const Summary& summary, const std::string& name) {
    for (const Figure& figure : summary.GetFigures()) {
        if (figure.name == name) return &figure;
    }
    return nullptr;
}

constexpr double kMiB = 1024 * 1024;
const char kRead64[] = "savegame read, one Read, 64 KiB parts";
const char kRoundTrip[] = "GetLoginDetails round trip, p50";
const char kUpdate[] = "Update, open connection, nothing pending";

std::vector<RunRecord> TypicalRuns() {
    return {Record("read/raw/64KiB", {{"bytes_per_second", 1000 * kMiB}}),
            Record("read/raw/64KiB", {{"bytes_per_second", 3000 * kMiB}}),
            Record("read/raw/64KiB", {{"bytes_per_second", 2000 * kMiB}}),
            Record("read/library/64KiB", {{"bytes_per_second", 900 * kMiB}}),
            Record("read/library/64KiB", {{"bytes_per_second", 1100 * kMiB}}),
            Record("roundtrip/raw", {{"p50_us", 10}, {"p99_us", 20}}),
            Record("roundtrip/library", {{"p50_us", 30}, {"p99_us", 90}}),
            Record("update/idle", {}, 40),
            Record("allocations/login",
                   {{"total", 9}, {"pool_misses", 0}, {"functors", 1}, {"other", 2}})};
}

TEST(SummaryTest, MediansOverRepetitionsAndRatiosToTheBaseline) {
    const Summary summary(TypicalRuns(), true, false, {});
    const Figure* read = Find(summary, kRead64);
    ASSERT_NE(nullptr, read);
    EXPECT_DOUBLE_EQ(1000, read->value);     // median of 900 and 1100
    EXPECT_DOUBLE_EQ(2000, read->baseline);  // median of 1000, 3000, 2000
    EXPECT_DOUBLE_EQ(0.5, read->ratio);
    EXPECT_EQ(1, read->met);  // at least 0.5 of raw

    const Figure* roundTrip = Find(summary, kRoundTrip);
    ASSERT_NE(nullptr, roundTrip);
    EXPECT_DOUBLE_EQ(3, roundTrip->ratio);
    EXPECT_EQ(0, roundTrip->met);  // more than 2.5 times raw

    const Figure* update = Find(summary, kUpdate);
    ASSERT_NE(nullptr, update);
    EXPECT_DOUBLE_EQ(40, update->value);
    EXPECT_EQ(1, update->met);

    // Figures that were not run are there, unmeasured and unjudged.
    const Figure* write = Find(summary, "savegame write, 1 MiB writes");
    ASSERT_NE(nullptr, write);
    EXPECT_TRUE(std::isnan(write->value));
    EXPECT_EQ(-1, write->met);
}

TEST(SummaryTest, TimingTargetsAreJudgedInFullRunsOnlyAndUpdateNativelyOnly) {
    const Summary smoke(TypicalRuns(), true, true, {});
    EXPECT_EQ(-1, Find(smoke, kRead64)->met);
    EXPECT_EQ(-1, Find(smoke, kRoundTrip)->met);
    EXPECT_EQ(-1, Find(smoke, kUpdate)->met);
    // Pool misses are a count, not a timing: judged in smoke runs too.
    EXPECT_EQ(1, Find(smoke, "  buffers and reference counters taken from the heap")->met);

    const Summary underWine(TypicalRuns(), false, false, {});
    EXPECT_EQ(-1, Find(underWine, kUpdate)->met);
    EXPECT_EQ(1, Find(underWine, kRead64)->met);
}

TEST(SummaryTest, FailedRunsCountForNothingAndAreListed) {
    std::vector<RunRecord> runs = TypicalRuns();
    RunRecord failed = Record("read/library/64KiB", {{"bytes_per_second", 1}});
    failed.failed = true;
    failed.error = "read data differs from the savegame at byte 7";
    runs.push_back(failed);
    const Summary summary(runs, true, false, {});
    EXPECT_DOUBLE_EQ(1000, Find(summary, kRead64)->value);

    const std::string path = testing::TempDir() + "summary_test.json";
    ASSERT_TRUE(summary.WriteJson(path, "Test \"platform\""));
    std::ifstream file(path);
    std::stringstream json;
    json << file.rdbuf();
    std::remove(path.c_str());
    EXPECT_NE(std::string::npos, json.str().find("\"platform\": \"Test \\\"platform\\\"\""));
    EXPECT_NE(std::string::npos,
              json.str().find("\"failures\": [\"read/library/64KiB: read data differs"));
    // Unmeasured numbers and unjudged targets are null, not NaN.
    EXPECT_EQ(std::string::npos, json.str().find("nan"));
    EXPECT_NE(std::string::npos, json.str().find("\"met\": null"));
}

TEST(SummaryTest, AllocationsAreItemizedWithTheirOtherSites) {
    AllocationSites sites;
    sites["allocations/login"]["kx::halyxdll::HalyxSessionData::Write"] = 2;
    const Summary summary(TypicalRuns(), true, false, sites);
    EXPECT_DOUBLE_EQ(9, Find(summary, "heap allocations per login round trip")->value);
    EXPECT_DOUBLE_EQ(1, Find(summary, "  functors")->value);
    EXPECT_DOUBLE_EQ(2, Find(summary, "    kx::halyxdll::HalyxSessionData::Write")->value);
    // Categories with nothing in them are left out.
    EXPECT_EQ(nullptr, Find(summary, "  events"));
}

}  // namespace
}  // namespace bench
}  // namespace kx
