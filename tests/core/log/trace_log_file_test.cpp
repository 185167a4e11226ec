// What the daily file holds: header block, line prefixes, CR LF endings, raw bytes.
#include <gtest/gtest.h>

#include <string>

#include "core/base/failure.h"
#include "trace_log_fixture.h"

namespace ks::test {
namespace {

TEST_F(TraceLogTest, FileHoldsTheHeaderThenThePrefixedLinesWithCrLf) {
    Trace("Load data: Start files copy");
    clock.Advance(135);
    log.TraceLog(0, 22, -1, "Open: FDATA22.bt6");
    log.TraceLogForce(log.ListeLog(), "");

    // 1,000,135 ms of uptime at the flush.
    EXPECT_EQ(Today(), Header("16 Min 40 Sec") +
                           "*9:05:07:042 : : : :    :Load data: Start files copy\r\n"
                           "09:05:07:177 :0:22: : 135:Open: FDATA22.bt6\r\n");
    EXPECT_TRUE(log.ListeLog().empty());
}

TEST_F(TraceLogTest, ElapsedFieldOfLinesFifteenThenTenMillisecondsApart) {
    Trace("one");
    clock.Advance(15);
    Trace("two");
    clock.Advance(10);
    Trace("three");
    clock.Advance(10'000);
    Trace("four");

    const auto& lines = log.ListeLog();
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0], "*9:05:07:042 : : : :    :one");
    EXPECT_EQ(lines[1], "09:05:07:057 : : : :    :two");
    EXPECT_EQ(lines[2], "09:05:07:067 : : : :  25:three");
    EXPECT_EQ(lines[3], "09:05:17:067 : : : :xxxx:four");
}

TEST_F(TraceLogTest, ALineHoldingNulAnd255IsWrittenWhole) {
    const std::string message(
        "A\0B\xff"
        "C",
        5);
    Trace(message);
    log.TraceLogForce(log.ListeLog(), "");

    const std::string expected = "*9:05:07:042 : : : :    :" + message + "\r\n";
    const std::string bytes = Today();
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(bytes.substr(bytes.size() - expected.size()), expected);
}

TEST_F(TraceLogTest, BlankMessageAddsNothingAndLeavesTheMark) {
    Trace("");
    Trace("   ");
    EXPECT_TRUE(log.ListeLog().empty());
    EXPECT_EQ(state.LastMarkTick, 0U);
}

TEST_F(TraceLogTest, LinesAreAppendedToAnExistingFile) {
    dir.Write("20261207.Log", "earlier\r\n");
    Trace("later");
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_EQ(Today().substr(0, 9), "earlier\r\n");
    EXPECT_EQ(Count(Today(), "later\r\n"), 1U);
}

TEST_F(TraceLogTest, ExistingFileIsFoundWithoutRegardToCase) {
    dir.Write("20261207.log", "earlier\r\n");
    Trace("later");
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "20261207.Log"));
    EXPECT_EQ(Count(TempDir::Read(dir.Path() / "20261207.log"), "later\r\n"), 1U);
}

TEST_F(TraceLogTest, ANamedFlushWritesThatFile) {
    Trace("viewer");
    log.TraceLogForce(log.ListeLog(), "Extra");
    EXPECT_EQ(Count(FileOf("Extra"), "viewer\r\n"), 1U);
    EXPECT_EQ(Count(FileOf("Extra"), "App.Version: "), 1U);
}

TEST_F(TraceLogTest, FramedMessageIsThreeLinesOfTheSameLength) {
    log.TraceLogEncadre(-1, -1, -1, "Err: 53", '=', false);
    const auto& lines = log.ListeLog();
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0], "*9:05:07:042 : : : :    :=======");
    EXPECT_EQ(lines[1], "09:05:07:042 : : : :    :Err: 53");
    EXPECT_EQ(lines[2], "09:05:07:042 : : : :    :=======");
}

TEST_F(TraceLogTest, TimingMilliSecReadsTheClock) {
    EXPECT_EQ(log.TimingMilliSec(), "09:05:07:042");
    clock.Advance(1'001);
    EXPECT_EQ(log.TimingMilliSec(), "09:05:08:043");
}

TEST_F(TraceLogTest, AFailingHeaderSourceLeavesItsFieldEmptyAndIsReported) {
    TraceHeaderSources sources;
    sources.ComputerName = []() -> std::string { throw Failure(kErrInvalidCall, "no name"); };
    log.SetHeaderSources(sources);
    Trace("line");
    log.TraceLogForce(log.ListeLog(), "");

    const std::string bytes = Today();
    EXPECT_EQ(Count(bytes, "==:==:==:====:=:=:=:Computer.Name: \r\n"), 1U);
    EXPECT_EQ(Count(bytes, "Err: 5 (no name)  Source:Lib_Public:TraceLogForce:"), 1U);
    EXPECT_EQ(Count(bytes, "line\r\n"), 1U);
}

}  // namespace
}  // namespace ks::test
