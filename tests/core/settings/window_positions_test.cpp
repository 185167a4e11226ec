#include "core/settings/window_positions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings_env.h"
#include "support/fake_form_window.h"

namespace ks {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

class WindowPositionsTest : public ::testing::Test {
  protected:
    // By the time a window is placed, the options window has named the settings folder.
    WindowPositionsTest() { env.config.NomDossierSettings(); }

    void Store(const std::string& lines) {
        env.WriteFile("Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours_Positions.ini",
                      "[FrmPos]\r\n" + lines);
    }
    std::string Stored(const std::string& key) {
        return env.ini.LectureIni(env.PositionsFile(), "FrmPos", key, "<none>");
    }

    test::SettingsEnv env;
    test::FakeFormWindow window{"FrmSetup"};
};

TEST_F(WindowPositionsTest, StoredPlaceIsApplied) {
    Store("FrmSetup_Left=1500\r\nFrmSetup_Top=3000\r\n");
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(1500, 3000)));
}

TEST_F(WindowPositionsTest, MissingFileGivesTheTopLeftCorner) {
    window.geometry.left = 777;
    window.geometry.top = 888;
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(0, 0)));
}

TEST_F(WindowPositionsTest, TopBelowTheScreenGoesToHalfTheScreenHeight) {
    window.screenHeight = 16200;
    Store("FrmSetup_Left=300\r\nFrmSetup_Top=20000\r\n");
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(300, 8100)));
}

TEST_F(WindowPositionsTest, TopAtTheScreenHeightIsKept) {
    window.screenHeight = 16200;
    Store("FrmSetup_Top=16200\r\n");
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(0, 16200)));
}

TEST_F(WindowPositionsTest, WindowAlmostAboveTheScreenComesBackToTheTop) {
    window.geometry.height = 4500;
    Store("FrmSetup_Top=-4401\r\n");  // 99 twips of the window would show
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(0, 0)));

    window.moves.clear();
    Store("FrmSetup_Top=-4400\r\n");  // 100 twips show: left where it is
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(0, -4400)));
}

TEST_F(WindowPositionsTest, LeftFarOffTheScreenIsResetButANegativeLeftIsNot) {
    Store("FrmSetup_Left=-25000\r\nFrmSetup_Top=600\r\n");
    env.positions.PositionFeuille(window, "");
    Store("FrmSetup_Left=-15000\r\nFrmSetup_Top=600\r\n");
    env.positions.PositionFeuille(window, "");
    Store("FrmSetup_Left=-20000\r\nFrmSetup_Top=600\r\n");
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(0, 600), Pair(-15000, 600), Pair(-20000, 600)));
}

TEST_F(WindowPositionsTest, TextThatIsNotANumberCountsAsZero) {
    Store("FrmSetup_Left=abc\r\nFrmSetup_Top=12px\r\n");
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(0, 12)));
}

TEST_F(WindowPositionsTest, NumberTooLargeIsReportedAndLeavesThatEdgeWhereItIs) {
    window.geometry.left = 450;
    Store("FrmSetup_Left=99999999999\r\nFrmSetup_Top=900\r\n");
    env.positions.PositionFeuille(window, "");
    EXPECT_THAT(window.moves, ElementsAre(Pair(450, 900)));
    EXPECT_TRUE(env.Reported("Lib_Public:PositionFeuille"));
}

TEST_F(WindowPositionsTest, SuffixKeepsASecondPlaceForTheSameWindow) {
    Store("FrmSetup_Left=100\r\nFrmSetup_Top=200\r\nFrmSetup_2_Left=300\r\nFrmSetup_2_Top=400\r\n");
    env.positions.PositionFeuille(window, "2");
    env.positions.PositionFeuille(window, " ");
    EXPECT_THAT(window.moves, ElementsAre(Pair(300, 400), Pair(100, 200)));
    EXPECT_EQ(WindowPositions::KeyBase("FrmSetup", "2"), "FrmSetup_2");
    EXPECT_EQ(WindowPositions::KeyBase("FrmSetup", ""), "FrmSetup");
}

TEST_F(WindowPositionsTest, PlaceIsStoredInTwipsAndReadBack) {
    window.geometry = {1935, 2415, 6000, 4500};
    env.positions.PositionFeuilleSauvegarde(window, "");
    EXPECT_EQ(Stored("FrmSetup_Left"), "1935");
    EXPECT_EQ(Stored("FrmSetup_Top"), "2415");

    test::FakeFormWindow reopened{"FrmSetup"};
    env.positions.PositionFeuille(reopened, "");
    EXPECT_THAT(reopened.moves, ElementsAre(Pair(1935, 2415)));
}

TEST_F(WindowPositionsTest, MinimisedOrMaximisedWindowKeepsItsPreviousPlace) {
    window.geometry = {1500, 3000, 6000, 4500};
    env.positions.PositionFeuilleSauvegarde(window, "");
    const std::string before = test::TempDir::Read(env.PositionsFile());

    window.geometry = {-32000, -32000, 6000, 4500};
    window.state = WindowState::Minimised;
    env.positions.PositionFeuilleSauvegarde(window, "");
    window.geometry = {0, 0, 25600, 16200};
    window.state = WindowState::Maximised;
    env.positions.PositionFeuilleSauvegarde(window, "");

    EXPECT_EQ(test::TempDir::Read(env.PositionsFile()), before);
    EXPECT_EQ(Stored("FrmSetup_Left"), "1500");
    EXPECT_EQ(Stored("FrmSetup_Top"), "3000");
}

TEST_F(WindowPositionsTest, EachWindowHasItsOwnKeys) {
    test::FakeFormWindow main{"Frm_Main"};
    main.geometry = {15, 30, 9000, 7000};
    window.geometry = {45, 60, 6000, 4500};
    env.positions.PositionFeuilleSauvegarde(main, "");
    env.positions.PositionFeuilleSauvegarde(window, "");
    EXPECT_EQ(Stored("Frm_Main_Left"), "15");
    EXPECT_EQ(Stored("Frm_Main_Top"), "30");
    EXPECT_EQ(Stored("FrmSetup_Left"), "45");
    EXPECT_EQ(Stored("FrmSetup_Top"), "60");
}

}  // namespace
}  // namespace ks
