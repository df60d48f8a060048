#include "kx/logger/LoggerBackend.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "kx/logger/DevBackend.h"

namespace {

using kx::common::LoggerBackend;

// Keeps the last line a sink handed to `output` instead of sending it anywhere.
template <typename Base>
class LineCapture : public Base {
public:
    using Base::Base;
    void output(const char* line) override { lastLine = line; }
    std::string lastLine;
};

class BaseSink : public LoggerBackend {
public:
    using LoggerBackend::LoggerBackend;
    void flush() override {}
    void output(const char*) override {}
};

using CapturedDevBackend = LineCapture<kx::logger::DevBackend>;
using CapturedBaseSink = LineCapture<BaseSink>;

TEST(DevBackendTest, LineIsPathLineColonText) {
    CapturedDevBackend sink;
    sink.write(2, "a\\b\\c", 12, "hello");
    EXPECT_EQ(sink.lastLine, "a\\b\\c(12) : hello\n");
    sink.write(0, "x/y.cpp", -3, "");
    EXPECT_EQ(sink.lastLine, "x/y.cpp(-3) : \n");
}

TEST(DevBackendTest, LocationIsCutTo254CharactersAndTextSurvives) {
    CapturedDevBackend sink;
    const std::string path(300, 'p');
    sink.write(1, path.c_str(), 5, "text");
    EXPECT_EQ(sink.lastLine, path.substr(0, 254) + ": text\n");
}

TEST(DevBackendTest, LongTextIsKeptWhole) {
    CapturedDevBackend sink;
    const std::string text(20000, 't');
    sink.write(1, "f", 1, text.c_str());
    EXPECT_EQ(sink.lastLine, "f(1) : " + text + "\n");
}

TEST(LoggerBackendTest, BaseLineHasTimestampThreadLevelFileNameAndText) {
    CapturedBaseSink sink(true, true, 0);
    sink.write(2, "a\\b\\c", 12, "hello");
    const std::regex expected(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \[ *\d+\] \[DEBUG \] c \(12\) : hello)");
    EXPECT_TRUE(std::regex_match(sink.lastLine, expected)) << sink.lastLine;

    sink.write(0, "dir/sub\\File.cpp", 3, "x");
    EXPECT_NE(sink.lastLine.find("[ERROR ] File.cpp (3) : x"), std::string::npos) << sink.lastLine;
}

TEST(LoggerBackendTest, DisabledPartsAreEmpty) {
    CapturedBaseSink sink(false, false, 0);
    sink.write(1, "a/b", 1, "hi");
    const std::regex expected(R"( \[ *\d+\] \[INFO  \]  : hi)");
    EXPECT_TRUE(std::regex_match(sink.lastLine, expected)) << sink.lastLine;
}

TEST(LoggerBackendTest, FormatPadsThreadIdAndReturnsLength) {
    BaseSink sink(false, false, 0);
    char buffer[64];
    EXPECT_EQ(sink.format(buffer, sizeof(buffer), "T", 7, "INFO  ", "loc", "txt"), 27);
    EXPECT_STREQ(buffer, "T [   7] [INFO  ] loc : txt");
    // Cut to fit: the return value is what was written.
    EXPECT_EQ(sink.format(buffer, 5, "T", 7, "INFO  ", "loc", "txt"), 4);
    EXPECT_STREQ(buffer, "T [ ");
}

TEST(LoggerBackendTest, LongLineIsCutWithEllipsis) {
    CapturedBaseSink limited(false, false, 20);
    limited.write(2, "f", 1, "a long text that will not fit");
    EXPECT_EQ(limited.lastLine.size(), 20u);
    EXPECT_EQ(limited.lastLine.substr(17), "...");

    // A limit of 4 or less means no limit.
    CapturedBaseSink unlimited(false, false, 4);
    unlimited.write(2, "f", 1, "a long text that will not fit");
    EXPECT_GT(unlimited.lastLine.size(), 20u);
}

TEST(LoggerBackendTest, LevelWithoutTextGetsBlanks) {
    CapturedBaseSink sink(false, false, 0);
    sink.write(7, "f", 1, "x");
    EXPECT_NE(sink.lastLine.find("[      ]"), std::string::npos) << sink.lastLine;
    sink.write(-1, "f", 1, "x");
    EXPECT_NE(sink.lastLine.find("[      ]"), std::string::npos) << sink.lastLine;
}

}  // namespace
