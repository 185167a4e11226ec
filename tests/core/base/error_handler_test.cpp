#include "core/base/error_handler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "core/base/failure.h"
#include "core/base/trace_state.h"
#include "platform/cp1252.h"
#include "support/fake_event_pump.h"
#include "support/recording_trace.h"

namespace ks {
namespace {

class ErrorHandlerTest : public ::testing::Test {
  protected:
    ErrorHandlerTest() { handler.SetTrace(&trace); }

    // Records a failure as a guarded step at `line` would, then reports it for `caller`.
    void Report(std::int32_t number, const std::string& description, std::string_view caller,
                int line, const std::string& source = {}) {
        handler.Record(std::make_exception_ptr(Failure(number, description, source)), line);
        handler.GestionDesErreurs(caller);
    }

    // The report line between the two frame lines.
    std::string ReportLine() const {
        EXPECT_EQ(trace.lines.size(), 3U);
        return trace.lines.size() == 3 ? trace.lines[1].message : std::string();
    }

    TraceState state;
    test::FakeEventPump pump;
    test::RecordingTrace trace;
    ErrorHandler handler{state, pump};
};

TEST_F(ErrorHandlerTest, ReportIsFramedByEqualsLinesAndIsAnIncident) {
    Report(kErrFileNotFound, "File not found", "Lib_Systeme:File_Copy", 120);

    const std::string expected = "Err: 53 (File not found)  Source:Lib_Systeme:File_Copy:120";
    ASSERT_EQ(trace.lines.size(), 3U);
    EXPECT_EQ(trace.lines[0].message, std::string(expected.size(), '='));
    EXPECT_EQ(trace.lines[1].message, expected);
    EXPECT_EQ(trace.lines[2].message, std::string(expected.size(), '='));
    EXPECT_FALSE(trace.lines[0].incident);
    EXPECT_TRUE(trace.lines[1].incident);
    EXPECT_FALSE(trace.lines[2].incident);
    for (const auto& line : trace.lines) {
        EXPECT_EQ(line.base, -1);
        EXPECT_EQ(line.file, -1);
        EXPECT_EQ(line.level, -1);
    }
}

TEST_F(ErrorHandlerTest, ReportClearsTheFailureAndLetsEventsRunOnce) {
    Report(kErrFileNotFound, "File not found", "Lib_Systeme:File_Copy", 120);
    EXPECT_EQ(handler.Err().ErrNumber, 0);
    EXPECT_EQ(handler.Err().ErrLine, 0);
    EXPECT_EQ(handler.Err().ErrDescription, "");
    EXPECT_EQ(pump.calls, 1);
    EXPECT_FALSE(state.InErrorHandler);
}

TEST_F(ErrorHandlerTest, LongDescriptionsHaveTheirSentencesSeparatedByTwoBlanks) {
    std::string longText = "First part. Second part. ";
    longText += std::string(101 - longText.size(), 'x');
    ASSERT_EQ(longText.size(), 101U);
    Report(5, longText, "Lib_Public:Test", 7);
    std::string expected = "First part  Second part  ";
    expected += std::string(101 - 25, 'x');
    EXPECT_EQ(ReportLine(), "Err: 5 (" + expected + ")  Source:Lib_Public:Test:7");
}

TEST_F(ErrorHandlerTest, DescriptionOfExactlyAHundredCharactersIsKept) {
    std::string text = "First part. Second part. ";
    text += std::string(100 - text.size(), 'x');
    Report(5, text, "Lib_Public:Test", 7);
    EXPECT_EQ(ReportLine(), "Err: 5 (" + text + ")  Source:Lib_Public:Test:7");
}

TEST_F(ErrorHandlerTest, ApplicationDefinedErrorsShowTheirOwnNumberAndSource) {
    Report(kApplicationErrorBase + 1001, "Custom", "Frm_Main:DataGestion", 12, "KsEngine");
    EXPECT_EQ(ReportLine(),
              "Err: 1001 (Custom)  Source:Frm_Main:DataGestion:12 (Source: KsEngine)");
}

TEST_F(ErrorHandlerTest, SourceIsShownOnlyForApplicationDefinedErrors) {
    Report(kErrFileNotFound, "File not found", "Lib_Systeme:File_Copy", 3, "KsEngine");
    EXPECT_EQ(ReportLine(), "Err: 53 (File not found)  Source:Lib_Systeme:File_Copy:3");
    trace.lines.clear();
    Report(kApplicationErrorBase + 1001, "Custom", "Frm_Main:DataGestion", 12, "   ");
    EXPECT_EQ(ReportLine(), "Err: 1001 (Custom)  Source:Frm_Main:DataGestion:12");
}

TEST_F(ErrorHandlerTest, ApplicationRangeIsExclusiveAtBothEnds) {
    // The base itself is a plain (negative) error number, not application error 0.
    Report(kApplicationErrorBase, "Base", "M:P", 1, "S");
    EXPECT_EQ(ReportLine(), "Err: -2147221504 (Base)  Source:M:P:1");
    trace.lines.clear();
    Report(kApplicationErrorBase + 65535, "Top", "M:P", 1, "S");
    EXPECT_EQ(ReportLine(), "Err: -2147155969 (Top)  Source:M:P:1");
}

TEST_F(ErrorHandlerTest, ErrorZeroGivesNoReportButClearsTheFailure) {
    handler.Record(std::make_exception_ptr(Failure(0, "nothing")), 44);
    EXPECT_EQ(handler.Err().ErrLine, 44);
    handler.GestionDesErreurs("M:P");
    EXPECT_TRUE(trace.lines.empty());
    EXPECT_EQ(handler.Err().ErrLine, 0);
    EXPECT_EQ(handler.Err().ErrDescription, "");
    EXPECT_EQ(pump.calls, 1);
}

TEST_F(ErrorHandlerTest, BlankCallerGivesAReportWithoutSource) {
    Report(kErrFileNotFound, "File not found", "", 120);
    EXPECT_EQ(ReportLine(), "Err: 53 (File not found)");
    trace.lines.clear();
    Report(kErrFileNotFound, "File not found", "   ", 120);
    EXPECT_EQ(ReportLine(), "Err: 53 (File not found)");
}

TEST_F(ErrorHandlerTest, NothingIsReportedOnceShutdownHasBegun) {
    state.ApplicationEnFermeture = true;
    Report(kErrFileNotFound, "File not found", "Lib_Systeme:File_Copy", 120);
    EXPECT_TRUE(trace.lines.empty());
    EXPECT_EQ(pump.calls, 0);
    EXPECT_FALSE(handler.Guard("M:P", [] { throw Failure(5, "late"); }));
    EXPECT_TRUE(trace.lines.empty());
}

// A trace log whose own writing fails and reports through the same handler, as the real
// trace log does when its file cannot be written.
class FailingTrace : public test::RecordingTrace {
  public:
    explicit FailingTrace(ErrorHandler& handler) : m_handler(handler) {}

    void TraceLog(std::int16_t base, std::int16_t file, std::int16_t level,
                  std::string_view message, bool incident, std::int16_t base2,
                  bool flushNow) override {
        RecordingTrace::TraceLog(base, file, level, message, incident, base2, flushNow);
        nestedResults.push_back(m_handler.Guard("Lib_General:TraceLog",
                                                [] { throw Failure(70, "Permission denied"); }));
    }

    std::vector<bool> nestedResults;

  private:
    ErrorHandler& m_handler;
};

TEST_F(ErrorHandlerTest, AFailureWhileReportingDoesNotNest) {
    FailingTrace failing(handler);
    handler.SetTrace(&failing);
    Report(kErrFileNotFound, "File not found", "Lib_Systeme:File_Copy", 120);

    ASSERT_EQ(failing.lines.size(), 3U);
    EXPECT_EQ(failing.lines[1].message,
              "Err: 53 (File not found)  Source:Lib_Systeme:File_Copy:120");
    EXPECT_EQ(failing.nestedResults, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(pump.calls, 1);
    EXPECT_FALSE(state.InErrorHandler);

    // The guard is released: the next failure is reported again.
    handler.SetTrace(&trace);
    Report(kErrFileNotFound, "File not found", "Lib_Systeme:File_Copy", 121);
    EXPECT_EQ(trace.lines.size(), 3U);
}

TEST_F(ErrorHandlerTest, AFailureDuringTheEventsOfAReportIsDropped) {
    pump.onEvents = [this](int) {
        EXPECT_FALSE(handler.Guard("Frm_Main:Timer1_Timer", [] { throw Failure(5, "tick"); }));
    };
    Report(kErrFileNotFound, "File not found", "Lib_Systeme:File_Copy", 120);
    EXPECT_EQ(trace.lines.size(), 3U);
    EXPECT_EQ(pump.calls, 1);
    EXPECT_FALSE(state.InErrorHandler);
}

TEST_F(ErrorHandlerTest, ATraceThatThrowsIsIgnored) {
    class ThrowingTrace : public TraceSink {
      public:
        void TraceLog(std::int16_t /*base*/, std::int16_t /*file*/, std::int16_t /*level*/,
                      std::string_view /*message*/, bool /*incident*/, std::int16_t /*base2*/,
                      bool /*flushNow*/) override {
            throw std::runtime_error("disk full");
        }
    } throwing;
    handler.SetTrace(&throwing);
    Report(kErrFileNotFound, "File not found", "M:P", 1);
    EXPECT_FALSE(state.InErrorHandler);
    EXPECT_EQ(handler.Err().ErrNumber, 0);
    EXPECT_EQ(pump.calls, 1);
}

TEST_F(ErrorHandlerTest, GuardReportsTheLineOfItsCallAndGoesOn) {
    int after = 0;
    const auto copy = [] { throw Failure(53, "File not found"); };
    const int line = __LINE__ + 1;
    const bool ok = handler.Guard("Lib_Systeme:File_Copy", copy);
    ++after;
    EXPECT_FALSE(ok);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(ReportLine(),
              "Err: 53 (File not found)  Source:Lib_Systeme:File_Copy:" + std::to_string(line));
    EXPECT_TRUE(handler.Guard("M:P", [&after] { ++after; }));
    EXPECT_EQ(after, 2);
    EXPECT_EQ(pump.calls, 1);
}

TEST_F(ErrorHandlerTest, LibraryExceptionsAreMappedOntoClassicNumbers) {
    handler.Guard("M:P", [] {
        throw std::filesystem::filesystem_error(
            "copy", std::make_error_code(std::errc::no_such_file_or_directory));
    });
    handler.Guard("M:P", [] {
        throw std::filesystem::filesystem_error("copy",
                                                std::make_error_code(std::errc::permission_denied));
    });
    handler.Guard("M:P", [] { throw std::bad_alloc(); });
    handler.Guard("M:P", [] { throw 42; });
    ASSERT_EQ(trace.lines.size(), 12U);
    EXPECT_EQ(trace.lines[1].message.rfind("Err: 53 (", 0), 0U) << trace.lines[1].message;
    EXPECT_EQ(trace.lines[4].message.rfind("Err: 70 (", 0), 0U) << trace.lines[4].message;
    EXPECT_EQ(trace.lines[7].message.rfind("Err: 7 (Out of memory)", 0), 0U);
    EXPECT_EQ(trace.lines[10].message.rfind("Err: 5 (Unknown error)", 0), 0U);
}

TEST_F(ErrorHandlerTest, FileSystemDescriptionsAreWrittenInWindows1252) {
    // The standard library writes the paths of its messages in UTF-8; the log holds Windows-1252.
    handler.Guard("M:P", [] {
        throw std::filesystem::filesystem_error(
            "copy", std::filesystem::path("/tmp/Répertoire"),
            std::make_error_code(std::errc::no_such_file_or_directory));
    });
    EXPECT_NE(ReportLine().find("Répertoire"_cp), std::string::npos) << ReportLine();
}

TEST_F(ErrorHandlerTest, SilentStepsReportNothing) {
    EXPECT_FALSE(ErrorHandler::Silent([] { throw Failure(5, "x"); }));
    EXPECT_TRUE(ErrorHandler::Silent([] {}));
    EXPECT_TRUE(trace.lines.empty());
    EXPECT_EQ(pump.calls, 0);
}

}  // namespace
}  // namespace ks
