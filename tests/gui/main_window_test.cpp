// The main window and the options window as the operator meets them: the start-up and what
// it shows, the quit question on the close box and on Quit, the refused second instance, the
// places kept from one run to the next, and the options edited, rescheduling and saved.
#include "gui/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "core/settings/ini_access.h"
#include "core/sys/instance_lock.h"
#include "desktop.h"
#include "platform/cp1252.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kSettings = "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini";
const std::string kPositions = "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours_Positions.ini";

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(root.Path() / "Settings/KS_Diffuseurs_Secours");
        root.Write(kSettings, "[Data]\r\nLast_Timing=07/12/2026 09:00:00\r\nFrequency=1\r\n");
    }
    std::string Read(const std::string& file) const {
        return test::TempDir::Read(root.Path() / file);
    }

    test::TempDir root;
    test::FakeClock clock;  // 07/12/2026 09:05:07
};

TEST_F(MainWindowTest, StartUpShowsTheClockTheLoadsTheControlsAndTheMenus) {
    test::Desktop desktop(root.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    ASSERT_TRUE(window.Form_Load());

    EXPECT_THAT(window.windowTitle().toStdString(), StartsWith("Kestrel : Player de secours - 20"));
    EXPECT_EQ(test::TextOf<QLabel>(window, "LabelTiming"), "07/12/2026 09:05:07");
    EXPECT_EQ(test::TextOf<QLineEdit>(window, "TexteTimingData0"), "07/12/2026 09:00:00");
    EXPECT_EQ(test::TextOf<QLineEdit>(window, "TexteTimingData1"), "07/12/2026 09:30:00");
    EXPECT_EQ(test::TextOf<QLineEdit>(window, "TexteDernierReussi"), "aucun");

    const auto* button = window.findChild<QPushButton*>("CommandCharger");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Lancer l'import");
    EXPECT_EQ(button->toolTip(), "Forcer le chargement les données");
    struct TimerRow {
        const char* name;
        int interval;
        bool active;
    };
    for (const TimerRow& row : {TimerRow{"Timer1", 250, true}, TimerRow{"TimerDonnees", 500, true},
                                TimerRow{"TimerTransfert", 250, false}}) {
        const auto* timer = window.findChild<QTimer*>(row.name);
        ASSERT_NE(timer, nullptr) << row.name;
        EXPECT_EQ(timer->interval(), row.interval) << row.name;
        EXPECT_EQ(timer->isActive(), row.active) << row.name;
    }
    struct MenuRow {
        const char* name;
        const char* title;
        QStringList items;
    };
    for (const MenuRow& row :
         {MenuRow{"Mnu01Main", "&Fichier", {"Options...", "Lecture des Logs...", "", "Quitter"}},
          MenuRow{"Mnu99", "&?", {"A propos..."}}}) {
        const auto* menu = window.findChild<QMenu*>(row.name);
        ASSERT_NE(menu, nullptr) << row.name;
        EXPECT_EQ(menu->title(), row.title);
        QStringList items;
        for (const QAction* action : menu->actions()) {
            items << action->text();
        }
        EXPECT_EQ(items, row.items) << row.name;
    }

    // The load tick shows the countdown (no load is due for 25 minutes).
    QTest::qWait(600);
    EXPECT_NE(test::TextOf<QLabel>(window, "LabelCompteur"), "...");
}

TEST(MainWindowFirstStart, UntilTheFoldersAreSetTheWindowSaysWhereToSetThem) {
    test::TempDir root;  // nothing configured: no settings file at all
    test::FakeClock clock;
    test::Desktop desktop(root.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    ASSERT_TRUE(window.Form_Load());
    window.show();
    const auto* hint = window.findChild<QLabel*>("LabelParametrage");
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(),
              "Le programme n'est pas encore paramétré : indiquez les dossiers et "
              "les stations dans Fichier > Options...");
    QTest::qWait(50);
    const auto folder = std::filesystem::path(KS_BINARY_DIR) / "screenshots";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(window.grab().save(QString::fromStdString((folder / "first_start.png").string())));

    // Each folder a load needs, set in the options window, counts at the next clock tick.
    struct Step {
        const char* field;
        bool hintAfter;
    };
    for (const Step& step : {Step{"TexteDossierData0", true}, Step{"TexteDossierData2", false}}) {
        auto* field = window.Options().findChild<QLineEdit*>(step.field);
        ASSERT_NE(field, nullptr) << step.field;
        QTest::keyClicks(field, QString::fromStdString(root.Folder()));
        QTest::qWait(300);
        EXPECT_EQ(hint->isVisible(), step.hintAfter) << step.field;
    }
}

TEST_F(MainWindowTest, TheCloseBoxAnsweredNoKeepsTheProgramAndYesShutsItDown) {
    test::Desktop desktop(root.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    ASSERT_TRUE(window.Form_Load());
    window.show();

    desktop.dialogs.answers = {MsgAnswer::No};
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.Unloaded());
    EXPECT_TRUE(window.findChild<QTimer*>("TimerDonnees")->isActive());
    ASSERT_EQ(desktop.dialogs.messages.size(), 1U);
    EXPECT_EQ(desktop.dialogs.messages[0].title, "Kestrel : Secours");
    EXPECT_EQ(desktop.dialogs.messages[0].text, "Voulez-vous quitter le programme ?");
    EXPECT_EQ(desktop.dialogs.messages[0].icon, MsgIcon::Question);

    desktop.dialogs.answers = {MsgAnswer::Yes};
    EXPECT_TRUE(window.close());
    EXPECT_TRUE(window.Unloaded());
    EXPECT_TRUE(desktop.loader.ApplicationEnFermeture());
    EXPECT_EQ(desktop.dialogs.messages.size(), 2U);
}

TEST_F(MainWindowTest, AStopByTheSystemDuringTheStartUpEndsTheProgram) {
    test::Desktop desktop(root.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    QTimer::singleShot(0, &window, [&window] { window.CloseByProgram(); });
    EXPECT_FALSE(window.Form_Load());
    EXPECT_FALSE(window.Refused());
    EXPECT_TRUE(window.Unloaded());
    EXPECT_FALSE(window.findChild<QTimer*>("TimerDonnees")->isActive());
}

TEST_F(MainWindowTest, AStopByTheSystemWhileTheQuitQuestionIsOpenStillStops) {
    test::Desktop desktop(root.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    ASSERT_TRUE(window.Form_Load());
    window.show();

    desktop.dialogs.answers = {MsgAnswer::No};
    desktop.dialogs.whileOpen = [&window] { window.CloseByProgram(); };
    window.close();
    EXPECT_TRUE(window.Unloaded());
    EXPECT_EQ(desktop.dialogs.messages.size(), 1U);
}

TEST_F(MainWindowTest, QuitAnsweredYesShutsDownOnceInItsOrder) {
    test::Desktop desktop(root.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    ASSERT_TRUE(window.Form_Load());
    window.show();
    desktop.loader.Settings().SelectFrequence(6);  // an unsaved change: offered at unload

    desktop.dialogs.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    window.findChild<QAction*>("Mnu01Quitter")->trigger();
    window.close();  // a second close finds the program shut down: nothing more happens
    window.Unload();

    std::vector<std::string> asked;
    for (const auto& message : desktop.dialogs.messages) {
        asked.push_back(message.text);
    }
    EXPECT_EQ(asked, (std::vector<std::string>{
                         "Voulez-vous quitter le programme ?",
                         "Voulez-vous enregistrer les changements dans les options ?"}));
    EXPECT_TRUE(window.Unloaded());
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(desktop.loader.State().FenetrePrincipaleChargee);
    EXPECT_THAT(Read(kSettings), HasSubstr("Frequency=6"));
    EXPECT_THAT(Read(kPositions), HasSubstr("Frm_Main_Left="));
    EXPECT_THAT(Read(kPositions), HasSubstr("FrmSetup_Left="));
    const std::string log = Read("Quenvi/Histo_KS3_Diffuseur_Secours/20261207.Log");
    EXPECT_EQ(log.find("Frm_Main:Form_Unload"), log.rfind("Frm_Main:Form_Unload")) << log;
    EXPECT_NE(log.find("Frm_Main:Form_Unload"), std::string::npos);
}

TEST_F(MainWindowTest, ASecondInstanceIsRefusedAndLoadsNothing) {
    const InstanceLock first(root.Folder());
    ASSERT_EQ(first.Result(), InstanceLock::Outcome::Acquired);
    test::Desktop second(root.Folder(), clock);
    EXPECT_FALSE(second.window.Form_Load());
    EXPECT_TRUE(second.window.Refused());

    ASSERT_EQ(second.dialogs.messages.size(), 1U);
    const auto& message = second.dialogs.messages[0];
    EXPECT_EQ(message.icon, MsgIcon::Critical);
    EXPECT_EQ(message.title, "Kestrel: Player de secours");
    EXPECT_EQ(message.text,
              "Il y a une instance de ce programme qui est déjà chargée.\r\n\r\n"
              "Le programme va être arrêté."_cp);
    EXPECT_TRUE(second.window.Unloaded());
    EXPECT_FALSE(second.loader.State().FenetrePrincipaleChargee);
    EXPECT_THAT(Read("Quenvi/Histo_KS3_Diffuseur_Secours/20261207.Log"),
                Not(HasSubstr("KS3_Systeme Server File")))
        << "the options window was loaded";
    EXPECT_FALSE(second.window.findChild<QTimer*>("Timer1")->isActive());
    EXPECT_EQ(InstanceLock(root.Folder()).Result(), InstanceLock::Outcome::HeldElsewhere)
        << "the first instance keeps the folder";
}

TEST_F(MainWindowTest, PlacesSavedAtExitAreRestoredAtTheNextStart) {
    {
        test::Desktop first(root.Folder(), clock);
        ASSERT_TRUE(first.window.Form_Load());
        first.window.move(300, 200);
        first.window.Options().move(150, 120);
        first.window.Unload();
    }
    EXPECT_THAT(Read(kPositions), HasSubstr("Frm_Main_Left=4500\r\nFrm_Main_Top=3000"));
    EXPECT_THAT(Read(kPositions), HasSubstr("FrmSetup_Left=2250\r\nFrmSetup_Top=1800"));

    test::Desktop next(root.Folder(), clock);
    ASSERT_TRUE(next.window.Form_Load());
    EXPECT_EQ(next.window.pos(), QPoint(300, 200));
    EXPECT_EQ(next.window.Options().pos(), QPoint(150, 120));
}

TEST_F(MainWindowTest, TheOptionsWindowReschedulesAtOnceSavesWhatChangedAndOnlyHides) {
    test::Desktop desktop(root.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    ASSERT_TRUE(window.Form_Load());
    window.findChild<QAction*>("Mnu01Options")->trigger();
    gui::OptionsWindow& options = window.Options();
    ASSERT_TRUE(options.isVisible());
    EXPECT_EQ(options.windowTitle(), "Options");

    auto* period = options.findChild<QComboBox*>("ComboDataFrequence");
    ASSERT_EQ(period->count(), 7);
    EXPECT_EQ(period->currentText(), "Toutes les 30 minutes");
    QTest::keyClick(period, Qt::Key_End);  // "Toutes les 240 minutes"
    EXPECT_EQ(test::TextOf<QLineEdit>(window, "TexteTimingData1"), "07/12/2026 13:00:00");

    auto* folder = options.findChild<QLineEdit*>("TexteDossierData2");
    folder->clear();
    QTest::keyClicks(folder, "/srv/Tempo/");
    folder->insert(QString::fromUtf8("π"));  // a character Windows-1252 cannot hold
    EXPECT_EQ(folder->text(), "/srv/Tempo/");
    options.findChild<QCheckBox*>("CheckSecours02")->click();
    auto* station = options.findChild<QComboBox*>("ComboStation2");
    EXPECT_EQ(station->itemText(6), "Station 07");
    QTest::keyClick(station, Qt::Key_Down);
    options.findChild<QPushButton*>("CommandSave")->click();

    const std::string saved = Read(kSettings);
    for (const char* line :
         {"Frequency=6", "Local=/srv/Tempo/", "CheckSecours02=1", "Serveur_2=1"}) {
        EXPECT_THAT(saved, HasSubstr(line));
    }
    EXPECT_FALSE(desktop.loader.Settings().Modified());

    options.close();  // the close box hides it: it stays loaded
    EXPECT_FALSE(options.isVisible());
    window.findChild<QAction*>("Mnu01Options")->trigger();
    options.findChild<QPushButton*>("CommandOK")->click();
    EXPECT_FALSE(options.isVisible());
    EXPECT_FALSE(window.Unloaded());
    EXPECT_EQ(period->currentIndex(), 6);
}

}  // namespace
}  // namespace ks
