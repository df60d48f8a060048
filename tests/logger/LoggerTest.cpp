#include "kx/logger/Logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "kx/logger/LogRecord.h"
#include "kx/testing/LogCapture.h"

namespace {

using kx::common::kLogDebug;
using kx::common::kLogError;
using kx::common::kLogInfo;
using kx::common::Logger;
using kx::common::LogRecord;
using kx::testing::LogCapture;

constexpr char kRefusal[] =
    "Got logging request for something larger than buffer, refusing to log it";

// Each test uses a logger number of its own: loggers are process-wide and never destroyed.
// Sinks registered with a numbered logger must therefore outlive the test program.
LogCapture& NewSink(int loggerNumber, int threshold) {
    LogCapture* sink = new LogCapture();
    Logger& logger = Logger::Get(loggerNumber);
    logger.SetThreshold(threshold);
    logger.AddBackend(sink);
    return *sink;
}

TEST(LoggerTest, ThresholdPassesLevelsAtOrBelowIt) {
    LogCapture& sink = NewSink(1, kLogDebug);
    for (int level = kLogError; level <= 3; ++level) LogRecord(1, level, "f", level) << "x";
    ASSERT_EQ(sink.Lines().size(), 3u);
    for (int level = kLogError; level <= kLogDebug; ++level) {
        EXPECT_EQ(sink.Lines()[level].level, level);
    }

    Logger::Get(1).SetThreshold(kLogError);
    LogRecord(1, kLogInfo, "f", 1) << "dropped";
    EXPECT_EQ(sink.Lines().size(), 3u);
}

TEST(LoggerTest, MessageOfExactlyTheBufferLessOneIsKept) {
    LogCapture& sink = NewSink(2, kLogDebug);
    const std::string longest(Logger::kMessageBufferSize - 1, 'a');
    LogRecord(2, kLogDebug, "f", 1) << longest.c_str();
    ASSERT_EQ(sink.Lines().size(), 1u);
    EXPECT_EQ(sink.Lines()[0].text, longest);
    EXPECT_EQ(sink.Lines()[0].level, kLogDebug);
}

TEST(LoggerTest, MessageThatDoesNotFitIsRefusedAtErrorLevel) {
    LogCapture& sink = NewSink(3, kLogDebug);
    const std::string tooLong(Logger::kMessageBufferSize, 'a');
    LogRecord(3, kLogDebug, "f", 7) << tooLong.c_str();
    Logger::Get(3).Message(kLogInfo, "g", 8, "%s%s", tooLong.c_str(), tooLong.c_str());
    ASSERT_EQ(sink.Lines().size(), 2u);
    for (const LogCapture::Line& record : sink.Lines()) {
        EXPECT_EQ(record.text, kRefusal);
        EXPECT_EQ(record.level, kLogError);
    }
    EXPECT_EQ(sink.Lines()[0].file, "f");
    EXPECT_EQ(sink.Lines()[0].line, 7);
}

TEST(LoggerTest, SinkAddedTwiceIsRegisteredOnceAndSinksRunInOrder) {
    Logger& logger = Logger::Get(4);
    logger.SetThreshold(kLogDebug);
    static std::vector<int> order;
    struct OrderedSink : LogCapture {
        explicit OrderedSink(int id) : id_(id) {}
        void write(int, const char*, int, const char*) override { order.push_back(id_); }
        int id_;
    };
    OrderedSink* first = new OrderedSink(1);
    OrderedSink* second = new OrderedSink(2);
    logger.AddBackend(first);
    logger.AddBackend(second);
    logger.AddBackend(first);
    EXPECT_EQ(logger.GetBackendCount(), 2u);

    LogRecord(4, kLogError, "f", 1) << "x";
    EXPECT_EQ(order, (std::vector<int>{1, 2}));

    logger.Flush();
    EXPECT_EQ(first->Flushes(), 1);
    EXPECT_EQ(second->Flushes(), 1);
}

TEST(LoggerTest, RecordTextJoinsPiecesAndDecimals) {
    LogCapture& sink = NewSink(5, kLogDebug);
    LogRecord(5, kLogError, "path/Loop.cpp", 99)
        << "ReadFileEx failed, error = " << -6 << "." << 4294967295u;
    ASSERT_EQ(sink.Lines().size(), 1u);
    EXPECT_EQ(sink.Lines()[0].text, "ReadFileEx failed, error = -6.4294967295");
    EXPECT_EQ(sink.Lines()[0].file, "path/Loop.cpp");
    EXPECT_EQ(sink.Lines()[0].line, 99);
    // Text with a percent sign is passed through, not taken as a format.
    LogRecord(5, kLogInfo, "f", 1) << "100%s %d";
    EXPECT_EQ(sink.Lines()[1].text, "100%s %d");
}

int CountedPiece(int* evaluations) {
    ++*evaluations;
    return 1;
}

TEST(LoggerTest, MacroBelowThresholdEvaluatesNothing) {
    // Logger 0 is the library's; this test program has no entry point that would configure it.
    LogCapture& sink = NewSink(0, kLogInfo);
    int evaluations = 0;
    KX_LOG(kLogDebug) << "skipped " << CountedPiece(&evaluations);
    EXPECT_EQ(evaluations, 0);
    EXPECT_TRUE(sink.Lines().empty());

    KX_LOG(kLogInfo) << "kept " << CountedPiece(&evaluations);
    EXPECT_EQ(evaluations, 1);
    ASSERT_EQ(sink.Lines().size(), 1u);
    EXPECT_EQ(sink.Lines()[0].text, "kept 1");
    EXPECT_NE(sink.Lines()[0].file.find("LoggerTest.cpp"), std::string::npos);

    KX_LOG_AT(kLogError, "fixed/Place.cpp", 321) << "at a fixed place";
    ASSERT_EQ(sink.Lines().size(), 2u);
    EXPECT_EQ(sink.Lines()[1].file, "fixed/Place.cpp");
    EXPECT_EQ(sink.Lines()[1].line, 321);

    // The macro is one expression: it nests in an if without braces and keeps its else.
    bool elseTaken = false;
    if (evaluations == 0)
        KX_LOG(kLogError) << "not reached";
    else
        elseTaken = true;
    EXPECT_TRUE(elseTaken);
    EXPECT_EQ(sink.Lines().size(), 2u);
}

TEST(LoggerTest, FirstUseFromManyThreadsCreatesOneLogger) {
    std::vector<Logger*> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = &Logger::Get(6); });
    }
    for (std::thread& thread : threads) thread.join();
    for (Logger* logger : seen) EXPECT_EQ(logger, &Logger::Get(6));
}

TEST(LoggerTest, SinksSeeOneRecordAtATime) {
    struct ExclusiveSink : LogCapture {
        void write(int, const char*, int, const char*) override {
            if (inside_.fetch_add(1) != 0) overlaps_.fetch_add(1);
            std::this_thread::yield();
            ++writes_;
            inside_.fetch_sub(1);
        }
        std::atomic<int> inside_{0};
        std::atomic<int> overlaps_{0};
        int writes_ = 0;
    };
    ExclusiveSink* sink = new ExclusiveSink();
    Logger::Get(7).SetThreshold(kLogDebug);
    Logger::Get(7).AddBackend(sink);

    constexpr int kThreads = 4;
    constexpr int kRecordsEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kRecordsEach; ++i) LogRecord(7, kLogInfo, "f", t) << i;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(sink->overlaps_.load(), 0);
    EXPECT_EQ(sink->writes_, kThreads * kRecordsEach);
}

TEST(LoggerDeathTest, NumberOutsideTheTableStops) {
    // The contract message goes to the debugger output, which is not standard error everywhere.
    EXPECT_DEATH(Logger::Get(Logger::kLoggerCount), "");
    EXPECT_DEATH(Logger::Get(-1), "");
}

}  // namespace
