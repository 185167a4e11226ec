// A stop by the system (SIGTERM to the process) while a window waits for the operator: the
// program shuts down at once, the open message answered by its default button and traced
// before the shutdown, the question the shutdown asks (the unsaved options) answered so too.
#include "gui/system_stop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "desktop.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

using ::testing::HasSubstr;

TEST(SystemStopTest, SigtermEndsTheProgramWhateverWindowWaitsForTheOperator) {
    struct Row {
        const char* what;
        const char* menuItem;             // opened just before the stop comes
        std::vector<std::string> traced;  // in this order
    };
    const std::string unload = "Frm_Main:Form_Unload";
    const std::string save =
        "MessageBox: Voulez-vous enregistrer les changements dans les options ?";
    const Row rows[] = {
        {"the quit question",
         "Mnu01Quitter",
         {"MessageBox: Voulez-vous quitter le programme ?", unload, save}},
        {"the options window", "Mnu01Options", {unload, save}},
        {"the log viewer's chooser", "Mnu01Log", {unload, save}},
    };
    for (const Row& row : rows) {
        test::TempDir root;
        test::FakeClock clock;  // 07/12/2026
        test::DesktopWith<gui::QtDialogs> desktop(root.Folder(), clock);
        const gui::SystemStop stop(desktop.app, desktop.dialogs, desktop.window);
        ASSERT_TRUE(desktop.window.Form_Load());
        desktop.window.show();
        desktop.loader.Settings().SelectFrequence(6);  // an unsaved change: asked at unload

        QTimer::singleShot(300, [] { std::raise(SIGTERM); });
        desktop.window.findChild<QAction*>(row.menuItem)->trigger();
        EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.window.Unloaded(); }, 5000)) << row.what;

        EXPECT_THAT(test::TempDir::Read(root.Path() / "Settings/KS_Diffuseurs_Secours/"
                                                      "KS_Diffuseurs_Secours.ini"),
                    HasSubstr("Frequency=6"))
            << row.what << ": saved, the default answer";
        const std::string log =
            test::TempDir::Read(root.Path() / "Quenvi/Histo_KS3_Diffuseur_Secours/20261207.Log");
        std::size_t at = 0;
        for (const std::string& line : row.traced) {
            at = log.find(line, at);
            EXPECT_NE(at, std::string::npos) << row.what << ": " << line << "\n" << log;
        }
    }
}

}  // namespace
}  // namespace ks
