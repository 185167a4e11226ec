// The composition of the core as the main window drives it: start-up, the timers, the quit
// question and the shutdown in its order.
#include "core/app/loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/settings/ini_access.h"
#include "engine/record_engine.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/fake_load_view.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

class LoaderTest : public ::testing::Test {
  protected:
    std::string Log() const {
        return test::TempDir::Read(root.Path() / "Quenvi/Histo_KS3_Diffuseur_Secours/20261207.Log");
    }

    test::TempDir root;
    test::FakeClock clock;
    test::FakeEventPump pump;
    test::FakeDialogs dialogs;
    test::FakeLoadView view;
    engine::RecordEngine engine;
    int ends = 0;
    Loader loader{{engine, clock, pump, dialogs, view, root.Folder(), [this] { ++ends; }}};
};

TEST_F(LoaderTest, StartsTracingToItsFolderAndAfterShutdownEveryTimerIsIdle) {
    loader.InitGeneral();
    loader.SetFenetrePrincipaleChargee(true);
    EXPECT_EQ(view.values["timing1"], "07/12/2026 09:35:07");  // no last load: now + 30 min
    loader.Timer1_Timer();
    EXPECT_EQ(view.values["clock"], "07/12/2026 09:05:07");
    EXPECT_THAT(loader.Caption(), HasSubstr("Kestrel : Player de secours - "));

    dialogs.answers = {MsgAnswer::No, MsgAnswer::Yes};
    EXPECT_FALSE(loader.QuitQuestion());
    EXPECT_TRUE(loader.QuitQuestion());
    EXPECT_EQ(dialogs.messages.back().text, "Voulez-vous quitter le programme ?");
    EXPECT_EQ(dialogs.messages.back().title, "Kestrel : Secours");

    loader.Form_Unload();
    const std::string log = Log();
    EXPECT_THAT(log, HasSubstr("App.ExeName: " + root.Folder()));  // the --root folder
    EXPECT_THAT(log, HasSubstr("Next loading data: 07/12/2026 09:35:07"));
    EXPECT_TRUE(log.ends_with(":Frm_Main:Form_Unload\r\n")) << log;

    view.calls.clear();
    clock.Advance(3'600'000);  // a load would be due
    loader.Timer1_Timer();
    loader.TimerDonnees_Timer();
    loader.TimerTransfert_Timer();
    EXPECT_THAT(view.calls, IsEmpty());
    EXPECT_EQ(Log(), log);
    EXPECT_EQ(ends, 0);
}

TEST_F(LoaderTest, PeriodChangedInTheOptionsCountsAtOnceAndIsOfferedForSavingAtShutdown) {
    loader.InitGeneral();
    loader.Settings().SelectFrequence(6);
    EXPECT_EQ(view.values["timing1"], "07/12/2026 13:05:07");

    dialogs.answers = {MsgAnswer::Yes};
    loader.Form_Unload();
    ASSERT_EQ(dialogs.messages.size(), 1U);
    EXPECT_EQ(dialogs.messages[0].text,
              "Voulez-vous enregistrer les changements dans les options ?");
    EXPECT_THAT(test::TempDir::Read(root.Path() /
                                    "Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini"),
                HasSubstr("Frequency=6"));
}

}  // namespace
}  // namespace ks
