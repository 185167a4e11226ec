#include "core/sys/dialog_msg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_event_pump.h"
#include "support/recording_trace.h"

namespace ks {
namespace {

using ::testing::ElementsAre;

class DialogMsgTest : public ::testing::Test {
  protected:
    DialogMsgTest() { errors.SetTrace(&trace); }

    test::FakeClock clock;
    test::FakeEventPump pump;
    test::FakeDialogs dialogs;
    test::RecordingTrace trace;
    TraceState state;
    ErrorHandler errors{state, pump};
    DialogMsg msg{dialogs, trace, errors, clock, pump};
};

TEST_F(DialogMsgTest, EmptyContentGivesTheShortTrace) {
    dialogs.taskButtons.push_back(kButtonOk);
    msg.Dialog_Msg("Erreur BTrieve", "", "", 2, 450);
    ASSERT_FALSE(trace.lines.empty());
    EXPECT_EQ(trace.lines.front().message, "TaskDialog: Erreur BTrieve");
    EXPECT_EQ(trace.lines.front().base, -1);
    EXPECT_FALSE(trace.lines.front().incident);
}

TEST_F(DialogMsgTest, ContentIsAppendedToTheTrace) {
    dialogs.taskButtons.push_back(kButtonOk);
    msg.Dialog_Msg("Titre", "Le fichier est absent", "pied", 2, 450);
    EXPECT_THAT(trace.Messages(),
                ElementsAre("TaskDialog: Titre ContentText: Le fichier est absent",
                            "TaskDialog: ButtonClicked: Ok"));
}

TEST_F(DialogMsgTest, RequestCarriesCaptionTextsIconAndWidth) {
    msg.SetCaption("KS3 Diffuseur de secours");
    dialogs.taskButtons.push_back(kButtonOk);
    msg.Dialog_Msg("Instruction", "Contenu", "Bas de page", 2, 450);
    ASSERT_EQ(dialogs.taskDialogs.size(), 1u);
    const TaskDialogRequest& request = dialogs.taskDialogs.front();
    EXPECT_EQ(request.windowTitle, "KS3 Diffuseur de secours");
    EXPECT_EQ(request.mainInstruction, "Instruction");
    EXPECT_EQ(request.content, "Contenu");
    EXPECT_EQ(request.footer, "Bas de page");
    EXPECT_EQ(request.icon, 2);
    EXPECT_EQ(request.width, 450);
}

TEST_F(DialogMsgTest, EachCallStartsFromAFreshRequest) {
    dialogs.taskButtons = {kButtonOk, kButtonOk};
    msg.Dialog_Msg("Un", "contenu", "pied", 2, 450);
    msg.Dialog_Msg("Deux", "", "", 0, 300);
    ASSERT_EQ(dialogs.taskDialogs.size(), 2u);
    EXPECT_EQ(dialogs.taskDialogs[1].content, "");
    EXPECT_EQ(dialogs.taskDialogs[1].footer, "");
    EXPECT_EQ(dialogs.taskDialogs[1].width, 300);
}

TEST_F(DialogMsgTest, DialogLeftAloneClosesAfterFiveSeconds) {
    msg.Dialog_Msg("Message", "", "", 2, 450);
    EXPECT_THAT(trace.Messages(), ElementsAre("TaskDialog: Message", "Dialog_Msg: Out Off Timer",
                                              "TaskDialog: ButtonClicked: Ok"));
    EXPECT_EQ(msg.LastButton(), kButtonOk);
    // The fake timer ticks every 100 ms: the ticks up to 5000 ms let events run, 5100 closes.
    EXPECT_EQ(pump.calls, 50);
}

TEST_F(DialogMsgTest, ProgramClockAlsoEndsTheWait) {
    // The dialog's own count stays low (a starved timer) while real time goes by.
    struct SlowTimerDialogs : test::FakeDialogs {
        std::int32_t TaskDialog(const TaskDialogRequest&,
                                const std::function<bool(std::int64_t)>& onTimer) override {
            for (int tick = 0; tick < 1000; ++tick) {
                if (onTimer(10)) {
                    return kTaskButtonOk;
                }
                ++ticksWithoutClose;
            }
            return 99;
        }
        int ticksWithoutClose = 0;
    } slow;
    DialogMsg slowMsg{slow, trace, errors, clock, pump};
    pump.onEvents = [this](int) { clock.Advance(1000); };
    slowMsg.Dialog_Msg("Message", "", "", 2, 450);
    EXPECT_EQ(slow.ticksWithoutClose, 6);  // 0 s up to 5 s are not "more than" five
    EXPECT_EQ(trace.Messages().back(), "TaskDialog: ButtonClicked: Ok");
}

TEST_F(DialogMsgTest, ThirtyTwoBitClockIsReadAcrossItsWrap) {
    clock.SetTick64Available(false);
    clock.SetTick(0xFFFFFF00u);  // the 32-bit count wraps 256 ms after the dialog opens
    struct WrapDialogs : test::FakeDialogs {
        explicit WrapDialogs(test::FakeClock& c) : clock(c) {}
        std::int32_t TaskDialog(const TaskDialogRequest&,
                                const std::function<bool(std::int64_t)>& onTimer) override {
            clock.Advance(6000);
            closedByClock = onTimer(0);
            return kTaskButtonOk;
        }
        test::FakeClock& clock;
        bool closedByClock = false;
    } dialog{clock};
    DialogMsg wrapMsg{dialog, trace, errors, clock, pump};
    wrapMsg.Dialog_Msg("Message", "", "", 0, 0);
    EXPECT_TRUE(dialog.closedByClock);
}

TEST_F(DialogMsgTest, ButtonThatClosedTheDialogIsTracedAndKept) {
    dialogs.taskButtons = {kButtonCancel, 64};
    msg.Dialog_Msg("Un", "", "", 0, 0);
    EXPECT_EQ(trace.Messages().back(), "TaskDialog: ButtonClicked: Cancel");
    EXPECT_EQ(msg.LastButton(), kButtonCancel);
    msg.Dialog_Msg("Deux", "", "", 0, 0);
    EXPECT_EQ(trace.Messages().back(), "TaskDialog: ButtonClicked: 64");
    EXPECT_EQ(msg.LastButton(), 64);
}

TEST(TaskButtonNameTest, TableAndDecimalForOthers) {
    EXPECT_EQ(TaskButtonName(1), "Ok");
    EXPECT_EQ(TaskButtonName(2), "Yes");
    EXPECT_EQ(TaskButtonName(4), "No");
    EXPECT_EQ(TaskButtonName(8), "Cancel");
    EXPECT_EQ(TaskButtonName(16), "Retry");
    EXPECT_EQ(TaskButtonName(32), "Close");
    EXPECT_EQ(TaskButtonName(3), "3");
    EXPECT_EQ(TaskButtonName(-1), "-1");
}

TEST_F(DialogMsgTest, RadioValueIsKept) {
    msg.RadioButtonClicked(3);
    EXPECT_EQ(msg.LastRadio(), 3);
}

TEST_F(DialogMsgTest, DialogThatCannotBeShownLeavesOnlyTheTraceLine) {
    struct BrokenDialogs : test::FakeDialogs {
        std::int32_t TaskDialog(const TaskDialogRequest&,
                                const std::function<bool(std::int64_t)>&) override {
            throw std::runtime_error("no display");
        }
    } broken;
    DialogMsg brokenMsg{broken, trace, errors, clock, pump};
    brokenMsg.Dialog_Msg("Message", "", "", 0, 0);
    const auto messages = trace.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "TaskDialog: Message");
    for (const auto& line : messages) {
        EXPECT_EQ(line.find("ButtonClicked"), std::string::npos);
    }
    // The failure itself is reported as an incident naming the procedure.
    bool reported = false;
    for (const auto& line : trace.lines) {
        reported = reported || (line.incident &&
                                line.message.find("Lib_General:Dialog_Msg") != std::string::npos);
    }
    EXPECT_TRUE(reported);
    EXPECT_EQ(brokenMsg.LastButton(), 0);
}

}  // namespace
}  // namespace ks
