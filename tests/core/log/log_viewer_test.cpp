// The log viewer: the pending trace lines reach today's file before the operator chooses,
// today's file is proposed in the log folder, a chosen file opens in the viewer, a name that
// does not exist is answered with the warning, and a cancelled choice does nothing.
#include "core/log/log_viewer.h"

#include <gmock/gmock.h>

#include <optional>

#include "core/sys/file_ops.h"
#include "platform/cp1252.h"
#include "support/fake_dialogs.h"
#include "trace_log_fixture.h"

namespace ks {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

class LogViewerTest : public test::TraceLogTest {
  protected:
    LogViewerTest() { viewer.SetCaption("Kestrel : Player de secours - 2026.1207.0915"); }

    FileOps files{log, errors, clock};
    test::FakeDialogs dialogs;
    LogViewer viewer{log, files, dialogs, errors, clock};
};

TEST_F(LogViewerTest, PendingLinesAreWrittenAndTodaysLogIsProposedThenOpenedOrWarnedAbout) {
    struct Row {
        const char* what;
        std::optional<std::string> chosen;  // relative to the log folder
        bool opened;
        bool warned;
    };
    for (const Row& row : {Row{"today's file", "20261207.Log", true, false},
                           Row{"a day without a log", "20261206.Log", false, true},
                           Row{"cancelled", std::nullopt, false, false}}) {
        dialogs = {};
        const std::string pending = std::string("pending before ") + row.what;
        Trace(pending);
        dialogs.fileAnswer = row.chosen ? std::optional(dir.Folder() + *row.chosen) : std::nullopt;
        viewer.LectureLog(dir.Folder(), "");

        EXPECT_THAT(Today(), HasSubstr(pending)) << "written before choosing";
        ASSERT_EQ(dialogs.fileRequests.size(), 1U) << row.what;
        EXPECT_EQ(dialogs.fileRequests[0],
                  "Lecture des Logs|" + dir.Folder() + "20261207.Log|Logs|*.log");
        EXPECT_EQ(dialogs.opened.size(), row.opened ? 1U : 0U) << row.what;
        if (row.warned) {
            ASSERT_EQ(dialogs.messages.size(), 1U) << row.what;
            EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Warning);
            EXPECT_EQ(dialogs.messages[0].title, "Kestrel : Player de secours - 2026.1207.0915");
            EXPECT_EQ(dialogs.messages[0].text,
                      "Fichier non trouvé:\r\n\r\n"_cp + dir.Folder() + "20261206.Log");
        } else {
            EXPECT_THAT(dialogs.messages, IsEmpty()) << row.what;
        }
    }
}

}  // namespace
}  // namespace ks
