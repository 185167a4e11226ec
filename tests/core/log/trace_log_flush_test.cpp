// When the pending lines reach the file: threshold, new day, restart, and the daily purge.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/sys/file_ops.h"
#include "platform/native_path.h"
#include "trace_log_fixture.h"

namespace ks::test {
namespace {

TEST_F(TraceLogTest, TheTenthLineFlushesTenLinesAndTheFirstStartsWithAStar) {
    for (int i = 1; i <= 9; ++i) {
        Trace("line " + std::to_string(i));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "20261207.Log"));
    EXPECT_EQ(log.ListeLog().size(), 9U);

    Trace("line 10");
    EXPECT_TRUE(log.ListeLog().empty());
    const auto lines = Lines(Today());
    ASSERT_EQ(lines.size(), 9U + 10U);
    EXPECT_EQ(lines[9], "*9:05:07:042 : : : :    :line 1");
    for (std::size_t i = 10; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], "09:05:07:042 : : : :    :line " + std::to_string(i - 8));
    }

    Trace("line 11");  // the next batch starts with a star again
    EXPECT_EQ(log.ListeLog().front().front(), '*');
}

TEST_F(TraceLogTest, ThresholdZeroOrNotANumberFlushesEveryLine) {
    for (const char* text : {"0", "abc"}) {
        SCOPED_TRACE(text);
        threshold = text;
        std::filesystem::remove(dir.Path() / "20261207.Log");
        Trace("first");
        EXPECT_TRUE(log.ListeLog().empty());
        Trace("second");
        EXPECT_TRUE(log.ListeLog().empty());
        const std::string bytes = Today();
        EXPECT_EQ(Count(bytes, "*9:05:07:042 : : : :    :first\r\n"), 1U);
        EXPECT_EQ(Count(bytes, "*9:05:07:042 : : : :    :second\r\n"), 1U);
    }
}

TEST_F(TraceLogTest, ThresholdTakesTheLeadingNumberOfTheText) {
    threshold = "3 lignes";
    Trace("a");
    Trace("b");
    EXPECT_EQ(log.ListeLog().size(), 2U);
    Trace("c");
    EXPECT_TRUE(log.ListeLog().empty());
}

TEST_F(TraceLogTest, FlushNowFalseHoldsTheThresholdFlush) {
    threshold = "1";
    log.TraceLog(-1, -1, -1, "held", false, -1, false);
    EXPECT_EQ(log.ListeLog().size(), 1U);
}

TEST_F(TraceLogTest, LinesBeforeFileOutputStayPendingForTheFirstFlush) {
    state.TraceFichierActif = false;
    for (int i = 0; i < 12; ++i) {
        Trace("early");
    }
    EXPECT_EQ(log.ListeLog().size(), 12U);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "20261207.Log"));

    state.TraceFichierActif = true;
    Trace("now active");
    EXPECT_TRUE(log.ListeLog().empty());
    EXPECT_EQ(Lines(Today()).size(), 9U + 13U);
}

TEST_F(TraceLogTest, ABlankLogFolderWritesNoFile) {
    log.SetDossierLog("  ");
    threshold = "0";
    Trace("kept");
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_EQ(log.ListeLog().size(), 1U);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST_F(TraceLogTest, AfterShutdownLinesCountOnlyWhileFileOutputIsActive) {
    state.ApplicationEnFermeture = true;
    Trace("still active");
    EXPECT_EQ(log.ListeLog().size(), 1U);
    state.TraceFichierActif = false;
    Trace("ignored");
    EXPECT_EQ(log.ListeLog().size(), 1U);
}

TEST_F(TraceLogTest, HeaderOncePerDayAndAgainAfterMidnight) {
    Trace("morning");
    log.TraceLogForce(log.ListeLog(), "");
    Trace("noon");
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_EQ(Count(Today(), "App.Version: "), 1U);

    clock.SetNow(DateTime{2026, 12, 8, 0, 0, 1, 0});
    Trace("after midnight");
    log.TraceLogForce(log.ListeLog(), "");
    const std::string tomorrow = FileOf("20261208");
    EXPECT_EQ(Count(tomorrow, "App.Version: "), 1U);
    EXPECT_EQ(Count(tomorrow, "after midnight\r\n"), 1U);
    EXPECT_EQ(Count(Today(), "after midnight"), 0U);
}

TEST_F(TraceLogTest, AnEmptyListOnANewDayWritesTheHeaderOnly) {
    Trace("yesterday");
    log.TraceLogForce(log.ListeLog(), "");

    clock.SetNow(DateTime{2026, 12, 8, 0, 0, 1, 0});
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_EQ(FileOf("20261208"), Header("16 Min 40 Sec"));

    log.TraceLogForce(log.ListeLog(), "");  // nothing more on the same day
    EXPECT_EQ(FileOf("20261208"), Header("16 Min 40 Sec"));
}

TEST_F(TraceLogTest, HeaderAgainAfterARestartOnTheSameDay) {
    Trace("first run");
    log.TraceLogForce(log.ListeLog(), "");

    TraceState restartedState;
    ErrorHandler restartedErrors(restartedState, pump);
    DailyTraceLog restarted(restartedState, restartedErrors, clock);
    restartedErrors.SetTrace(&restarted);
    Configure(restarted);
    restartedState.TraceFichierActif = true;
    restarted.TraceLog(-1, -1, -1, "second run");
    restarted.TraceLogForce(restarted.ListeLog(), "");

    const auto lines = Lines(Today());
    ASSERT_EQ(lines.size(), 2U * (9U + 1U));
    EXPECT_EQ(lines[11], "==:==:==:====:=:=:=:System started since 16 Min 40 Sec");
    EXPECT_EQ(lines[19], "*9:05:07:042 : : : :    :second run");
}

class TraceLogPurgeTest : public TraceLogTest {
  protected:
    TraceLogPurgeTest() {
        log.SetFileDeleter([this](const std::string& file, std::string_view caller) {
            deleted.push_back(file);
            callers.emplace_back(caller);
            std::filesystem::remove(NativePath(file));
        });
    }

    bool Exists(const char* name) const { return std::filesystem::exists(dir.Path() / name); }

    std::vector<std::string> deleted;
    std::vector<std::string> callers;
};

TEST_F(TraceLogPurgeTest, OnSeventhDecemberTheTwentySecondOfOctoberGoes) {
    for (const char* name : {"20261022.Log", "20261023.Log", "Notes.Log", "2025abc.Log"}) {
        dir.Write(name, "old\r\n");
    }
    Trace("purge day");
    log.TraceLogForce(log.ListeLog(), "");

    EXPECT_FALSE(Exists("20261022.Log"));
    EXPECT_FALSE(Exists("2025abc.Log"));
    EXPECT_TRUE(Exists("20261023.Log"));  // equal to the limit: kept
    EXPECT_TRUE(Exists("Notes.Log"));
    EXPECT_TRUE(Exists("20261207.Log"));
    EXPECT_EQ(deleted, (std::vector<std::string>{dir.Folder() + "2025abc.Log",
                                                 dir.Folder() + "20261022.Log"}));
    EXPECT_EQ(callers, (std::vector<std::string>(2, "Lib_Public:TraceLogForce")));
}

TEST_F(TraceLogPurgeTest, PurgeRunsOncePerDay) {
    Trace("first flush");
    log.TraceLogForce(log.ListeLog(), "");
    dir.Write("20260101.Log", "old\r\n");
    Trace("second flush");
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_TRUE(Exists("20260101.Log"));

    clock.SetNow(DateTime{2026, 12, 8, 0, 0, 1, 0});
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_FALSE(Exists("20260101.Log"));
}

TEST_F(TraceLogPurgeTest, TraceLinesOfThePurgeWaitForTheNextFlush) {
    // The file operations trace every deletion; with a threshold of 0 such a line would ask
    // for a flush in the middle of the purge.
    threshold = "0";
    log.SetFileDeleter([this](const std::string& file, std::string_view) {
        std::filesystem::remove(NativePath(file));
        log.TraceLog(-1, -1, -1, "File_Delete: True |File: " + file);
    });
    dir.Write("20200101.Log", "old\r\n");
    dir.Write("20200102.Log", "old\r\n");
    Trace("purge day");
    EXPECT_EQ(log.ListeLog().size(), 2U);
    EXPECT_FALSE(Exists("20200101.Log"));
    EXPECT_FALSE(Exists("20200102.Log"));

    Trace("next");
    EXPECT_TRUE(log.ListeLog().empty());
    EXPECT_EQ(Count(Today(), "File_Delete: True |File: "), 2U);
    EXPECT_EQ(Count(Today(), "App.Version: "), 1U);
}

TEST_F(TraceLogTest, PurgeDeletesThroughTheFileOperationsWhichTraceIntoTheLog) {
    // Built after the trace log, as the program builds them, and attached afterwards.
    FileOps files(log, errors, clock);
    log.SetFileDeleter([&files](const std::string& file, std::string_view caller) {
        files.File_Delete(file, caller);
    });
    dir.Write("20261022.Log", "old\r\n");
    Trace("purge day");
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "20261022.Log"));

    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_EQ(Count(Today(), "File_Delete: File: " + dir.Folder() +
                                 "20261022.Log |Sub: Lib_Public:TraceLogForce\r\n"),
              1U);
}

}  // namespace
}  // namespace ks::test
