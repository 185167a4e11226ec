// The desktop program loading a generated station: "Lancer l'import" runs the load on the
// window's thread while the window keeps answering and its bars move, the window then shows
// the last success and how far the local music schedule goes, and a close answered Yes during
// a load shuts down once the load has ended. The screenshots of the
// README are taken here: the main window during the load and idle, the options window and
// the about box (build/<preset>/screenshots/).
#include <gtest/gtest.h>

#include <QAction>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <set>

#include "core/ports/console_ports.h"
#include "desktop.h"
#include "gui/about_box.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

const std::filesystem::path kScreenshots = std::filesystem::path(KS_BINARY_DIR) / "screenshots";

void Screenshot(QWidget& window, const char* name) {
    std::filesystem::create_directories(kScreenshots);
    EXPECT_TRUE(window.grab().save(QString::fromStdString((kScreenshots / name).string()))) << name;
}

TEST(DesktopLoadTest, LancerLimportLoadsTheStationWhileTheWindowAnswersAndItsBarsMove) {
    test::TempDir station;
    ASSERT_EQ(
        test::RunProgram(test::kDemoGenerator, {station.Folder()}, station.Folder() + "demo.out")
            .exitCode,
        0);
    SystemClock clock;
    test::Desktop desktop(station.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    ASSERT_TRUE(window.Form_Load());
    window.show();

    auto* transfer = window.findChild<QProgressBar*>("ProgressBarTransfert");
    auto* copy = window.findChild<QProgressBar*>("ProgressBarCopie");
    auto* blink = window.findChild<QTimer*>("TimerTransfert");
    std::set<int> transferValues;
    int copyMaximum = 0;
    bool blinking = false;
    bool shot = false;
    QObject::connect(copy, &QProgressBar::valueChanged,
                     [&](int value) { copyMaximum = std::max(copyMaximum, value); });
    QObject::connect(transfer, &QProgressBar::valueChanged, [&](int value) {
        transferValues.insert(value);
        blinking = blinking || blink->isActive();
        if (!shot && transfer->maximum() > 0 && value * 2 >= transfer->maximum()) {
            shot = true;
            Screenshot(window, "main_loading.png");
        }
    });
    int clockTicks = 0;
    QObject::connect(window.findChild<QTimer*>("Timer1"), &QTimer::timeout, [&] { ++clockTicks; });

    window.findChild<QPushButton*>("CommandCharger")->click();

    EXPECT_EQ(copyMaximum, 100);
    EXPECT_GE(transferValues.size(), 5U) << "the transfer bar moved";
    EXPECT_TRUE(blinking) << "TimerTransfert ran during the transfer";
    EXPECT_FALSE(blink->isActive()) << "and stopped after it";
    EXPECT_GE(clockTicks, 1) << "the clock ticked during the load";
    EXPECT_TRUE(shot);

    const QString last = test::TextOf<QLineEdit>(window, "TexteTimingData0");
    EXPECT_EQ(test::TextOf<QLineEdit>(window, "TexteDernierReussi"), last + " (Secours 01)");
    EXPECT_EQ(test::TextOf<QLabel>(window, "LabelProgramme"),
              "Programme chargé jusqu'au " +
                  QDate::currentDate().addDays(7).toString("dd/MM/yyyy") + " 23:00");
    QTest::qWait(600);  // a load tick shows the countdown
    Screenshot(window, "main_idle.png");

    window.findChild<QAction*>("Mnu01Options")->trigger();
    QTest::qWait(50);
    Screenshot(window.Options(), "options.png");
    window.Options().hide();

    window.findChild<QAction*>("MnuAbout")->trigger();
    auto* about = window.findChild<gui::AboutBox*>("FrmAbout");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(test::TextOf<QLabel>(*about, "lblVersion"),
              "Version " + QString::fromStdString(desktop.loader.VersionApplication()));
    QTest::qWait(50);
    Screenshot(*about, "about.png");
    about->findChild<QPushButton*>("cmdOK")->click();

    // Closed during a second load: the question waits for the load to end (an open question
    // would hold it), then answered Yes the shutdown runs.
    desktop.dialogs.answers = {MsgAnswer::Yes};
    const std::size_t asked = desktop.dialogs.messages.size();
    bool closed = false;
    QObject::connect(transfer, &QProgressBar::valueChanged, [&] {
        if (!closed) {
            closed = true;
            window.close();
            EXPECT_EQ(desktop.dialogs.messages.size(), asked) << "no question during the load";
            EXPECT_FALSE(window.Unloaded()) << "not in the middle of the load";
        }
    });
    window.findChild<QPushButton*>("CommandCharger")->click();
    EXPECT_TRUE(closed);
    ASSERT_GT(desktop.dialogs.messages.size(), asked);
    EXPECT_EQ(desktop.dialogs.messages[asked].text, "Voulez-vous quitter le programme ?");
    EXPECT_TRUE(window.Unloaded());
    const std::string log =
        test::TempDir::Read(station.Path() / "Quenvi/Histo_KS3_Diffuseur_Secours" /
                            (QDate::currentDate().toString("yyyyMMdd") + ".Log").toStdString());
    EXPECT_LT(log.rfind("Load data: End transfert records"), log.rfind("Frm_Main:Form_Unload"));
}

}  // namespace
}  // namespace ks
