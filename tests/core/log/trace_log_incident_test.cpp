// Incidents and failures: incidents and error reports written at once, and a log folder
// that cannot be written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "core/base/failure.h"
#include "trace_log_fixture.h"

namespace ks::test {
namespace {

TEST_F(TraceLogTest, AnIncidentOrASecondSlotReachesTheFileAtOnceUnlessHeld) {
    struct Case {
        std::int16_t base;
        bool incident;
        std::int16_t base2;
        bool flushNow;
        bool written;
    };
    const Case cases[] = {
        {2, true, -1, true, true},    // an incident of a slot
        {-1, true, -1, true, true},   // without a slot
        {1, false, 3, true, true},    // a second slot number without the incident flag
        {0, true, -1, false, false},  // held by its caller
        {0, false, -1, true, false},  // an ordinary line waits for its batch
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string text = "line " + std::to_string(++n);
        const std::size_t incidents = log.Incidents();
        log.TraceLog(c.base, 22, -1, text, c.incident, c.base2, c.flushNow);
        EXPECT_EQ(Count(Today(), text + "\r\n"), c.written ? 1U : 0U) << text;
        EXPECT_EQ(log.Incidents(), incidents + (c.incident ? 1U : 0U)) << text;
        log.ListeLog().clear();
    }
}

TEST_F(TraceLogTest, AnErrorReportReachesTheFileAtOnce) {
    Trace("Load data: Start files copy");
    const int line = __LINE__ + 1;
    errors.Guard("Lib_Systeme:File_Copy",
                 [] { throw Failure(kErrFileNotFound, "File not found"); });

    const std::string report =
        "Err: 53 (File not found)  Source:Lib_Systeme:File_Copy:" + std::to_string(line);
    const std::string frame(report.size(), '=');
    const auto lines = Lines(Today());
    ASSERT_EQ(lines.size(), 9U + 3U);
    EXPECT_EQ(lines[9], "*9:05:07:042 : : : :    :Load data: Start files copy");
    EXPECT_EQ(lines[10], "09:05:07:042 : : : :    :" + frame);
    EXPECT_EQ(lines[11], "09:05:07:042 : : : :    :" + report);
    // The closing frame is no incident: it opens the next batch.
    EXPECT_EQ(log.ListeLog(), std::vector<std::string>{"*9:05:07:042 : : : :    :" + frame});
}

TEST_F(TraceLogTest, AnUnwritableLogFolderNeitherCrashesNorLoops) {
    dir.Write("blocked", "not a folder");
    log.SetDossierLog(dir.Folder() + "blocked/");
    for (const char* text : {"10", "0"}) {
        threshold = text;
        for (int i = 0; i < 25; ++i) {
            Trace("line");
        }
        log.TraceLog(0, -1, -1, "incident", true);
        log.TraceLogForce(log.ListeLog(), "");
    }

    // Each failed flush was reported once (the report's own flush is not nested), and the
    // failed lines were dropped instead of piling up.
    EXPECT_GT(pump.calls, 0);
    EXPECT_LT(pump.calls, 100);
    EXPECT_LE(log.ListeLog().size(), 10U);
    EXPECT_FALSE(state.InErrorHandler);
    EXPECT_EQ(TempDir::Read(dir.Path() / "blocked"), "not a folder");

    // Writable again: the log goes on, header included.
    log.SetDossierLog(dir.Folder());
    Trace("recovered");
    log.TraceLogForce(log.ListeLog(), "");
    EXPECT_EQ(Count(Today(), "App.Version: "), 1U);
    EXPECT_EQ(Count(Today(), "recovered\r\n"), 1U);
}

TEST_F(TraceLogTest, ALogFileThatIsANamedPipeIsReportedNotWaitedOn) {
    // Opening a pipe for writing would wait for a reader that never comes: the program would
    // hang at its next flush.
    ASSERT_EQ(mkfifo((dir.Path() / "20261207.Log").c_str(), 0644), 0);
    Trace("lost");
    log.TraceLogForce(log.ListeLog(), "");
    ASSERT_EQ(log.ListeLog().size(), 3U);
    EXPECT_NE(log.ListeLog()[1].find(
                  "Err: 75 (Path/File access error)  Source:Lib_Public:TraceLogForce:"),
              std::string::npos)
        << log.ListeLog()[1];
}

TEST_F(TraceLogTest, AFailedOpenIsReportedWithTheFlushCallerName) {
    dir.Write("blocked", "not a folder");
    log.SetDossierLog(dir.Folder() + "blocked/");
    Trace("lost");
    log.TraceLogForce(log.ListeLog(), "");
    // The report stays pending; it is written once the folder can be written again.
    log.SetDossierLog(dir.Folder());
    log.TraceLogForce(log.ListeLog(), "");
    const std::string bytes = Today();
    EXPECT_EQ(Count(bytes, "Err: 76 (Path not found)  Source:Lib_Public:TraceLogForce:"), 1U);
    EXPECT_EQ(Count(bytes, "lost"), 0U);
}

}  // namespace
}  // namespace ks::test
