#include "core/db/btrieve_layer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/db/record_fields.h"
#include "db_fixture.h"

namespace ks {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

constexpr std::string_view kCaller = "Frm_Main:DataTransfert /D";

class BtrieveLayerTest : public test::DbFixture {
  protected:
    BtrieveLayerTest() { MarkOpen(0, 1, 22); }

    // One call on an open file of station 1, slot 0.
    std::int16_t Call(std::int16_t operation, std::int16_t file, std::string key = "12345678",
                      std::int16_t keyNumber = 0) {
        m_key = std::move(key);
        return layer.BTRieve(0, operation, m_key, keyNumber, file, 1, kCaller);
    }

    int Reports() const { return static_cast<int>(CountTrace("===== Err: Pervasive =====")); }
    std::size_t CountTrace(const std::string& message) const {
        std::size_t count = 0;
        for (const auto& line : trace.lines) {
            count += line.message == message ? 1U : 0U;
        }
        return count;
    }

    std::string m_key;
};

TEST_F(BtrieveLayerTest, CallSendsTheFilesBuffersAndKeepsTheReturnedBlockAndLength) {
    test::ScriptedEngine::Reply reply;
    reply.record = "ABCDEFGH";
    reply.key = "ABCDEFGH";
    reply.dataLength = 900;
    engine.script.push_back(reply);
    db.PositionBTR(0, 1, 22).fill(0x5A);
    Call(5, 22, "ABCDEFGH");

    ASSERT_THAT(engine.calls, SizeIs(1));
    const auto& call = engine.calls[0];
    EXPECT_EQ(call.operation, 5);
    EXPECT_THAT(call.position, Each(0x5A));
    EXPECT_EQ(call.dataLength, 900U);
    EXPECT_EQ(call.keyLength, 255);
    EXPECT_EQ(call.keyNumber, 0);
    EXPECT_EQ(call.key, "ABCDEFGH" + std::string(247, '\0'));
    EXPECT_EQ(db.StatutBTR, 0);
    EXPECT_EQ(db.PositionBTR(0, 1, 22)[0], 1);  // the block the engine returned
    EXPECT_EQ(db.Records.At(22).Text({1, 8}), "ABCDEFGH");
    EXPECT_EQ(db.History(0)[0],
              "S:00000 File:22 Station:1 OP:05 K:00 [ABCDEFGH] [Frm_Main:DataTransfert /D]");
    EXPECT_EQ(Reports(), 0);
}

TEST_F(BtrieveLayerTest, EachStationAndSlotHasItsOwnPositionBlock) {
    MarkOpen(0, 2, 22);
    MarkOpen(1, 1, 22);
    db.PositionBTR(0, 2, 22).fill(2);
    db.PositionBTR(1, 1, 22).fill(3);
    m_key = "12345678";
    layer.BTRieve(0, 6, m_key, 0, 22, 2, kCaller);
    layer.BTRieve(1, 6, m_key, 0, 22, 1, kCaller);
    EXPECT_THAT(engine.calls[0].position, Each(2));
    EXPECT_THAT(engine.calls[1].position, Each(3));
    EXPECT_EQ(db.PositionBTR(0, 1, 22)[0], 0);  // untouched
}

TEST_F(BtrieveLayerTest, ReturnedDataLengthIsSentNextAndNeverExceedsTheBuffer) {
    test::ScriptedEngine::Reply shorter;
    shorter.dataLength = 300;
    engine.script.push_back(shorter);
    Call(5, 22);
    EXPECT_EQ(db.LongueurBTR[22], 300);
    test::ScriptedEngine::Reply larger;
    larger.dataLength = 60000;
    engine.script.push_back(larger);
    Call(6, 22);
    EXPECT_EQ(engine.calls[1].dataLength, 300U);
    EXPECT_EQ(db.LongueurBTR[22], 900);
    db.Longueur(22) = 5000;  // whatever was left there, the engine gets the buffer's size
    Call(6, 22);
    EXPECT_EQ(engine.calls[2].dataLength, 900U);
}

TEST_F(BtrieveLayerTest, EndOrAbortWithoutTransactionMakesNoCall) {
    db.StatutBTR = 9;
    EXPECT_EQ(Call(20, 22), 9);
    EXPECT_EQ(Call(21, 22), 9);
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_EQ(db.StatutBTR, 9);
    EXPECT_THAT(db.History(0)[0], IsEmpty());
}

TEST_F(BtrieveLayerTest, TransactionFlagFollowsSuccessfulBeginAndEnd) {
    Call(19, 22);
    EXPECT_TRUE(db.TransactionEnCours);
    Call(20, 22);
    EXPECT_FALSE(db.TransactionEnCours);
    Call(1019, 22);
    EXPECT_TRUE(db.TransactionEnCours);
    engine.Answer(37, 60);  // an abort that keeps failing leaves the flag as it was
    Call(21, 22);
    EXPECT_TRUE(db.TransactionEnCours);
    Call(21, 22);
    EXPECT_FALSE(db.TransactionEnCours);
    engine.Answer(37, 60);
    Call(19, 22);
    EXPECT_FALSE(db.TransactionEnCours);
}

TEST_F(BtrieveLayerTest, GetLessOperationsSendBytes255AsZ) {
    Call(10, 22, "\xFF\xFF\xFF");
    Call(11, 22, "AB\xFF");
    Call(5, 22, "\xFF\xFF");
    EXPECT_EQ(engine.calls[0].KeyText(), "zzz");
    EXPECT_EQ(engine.calls[1].KeyText(), "ABz");
    EXPECT_EQ(engine.calls[2].KeyText(), "\xFF\xFF");
    EXPECT_THAT(db.History(0)[2], HasSubstr("[zzz]"));
}

TEST_F(BtrieveLayerTest, EmptyKeyIsSentAsOneHundredBlanks) {
    Call(6, 22, "");
    EXPECT_EQ(engine.calls[0].key.substr(0, 101), std::string(100, ' ') + '\0');
    EXPECT_EQ(m_key, std::string(100, ' '));
}

TEST_F(BtrieveLayerTest, KeyStringKeepsItsLengthAndTakesTheEnginesBytes) {
    test::ScriptedEngine::Reply reply;
    reply.key = "2026120709ABCDEFGHI";  // a 19-byte key returned into a 10-byte key string
    engine.script.push_back(reply);
    MarkOpen(0, 1, 35);
    Call(9, 35, "2026120709");
    EXPECT_EQ(m_key, "2026120709");
    engine.script.push_back(reply);
    Call(9, 35, std::string(19, ' '));
    EXPECT_EQ(m_key, "2026120709ABCDEFGHI");
}

TEST_F(BtrieveLayerTest, StationBelowOneIsStationOne) {
    m_key = "12345678";
    layer.BTRieve(0, 5, m_key, 0, 22, 0, kCaller);
    layer.BTRieve(0, 5, m_key, 0, 22, -4, kCaller);
    EXPECT_THAT(engine.calls, SizeIs(2));
    EXPECT_THAT(db.History(0)[0], HasSubstr(" Station:1 "));
    EXPECT_EQ(fatalCalls, 0);
}

TEST_F(BtrieveLayerTest, StationAboveTenWarnsAndAnswersNotFoundWithoutCall) {
    m_key = "12345678";
    EXPECT_EQ(layer.BTRieve(0, 5, m_key, 0, 22, 11, kCaller), 4);
    EXPECT_EQ(db.StatutBTR, 4);
    EXPECT_EQ(layer.BTRieve(0, 6, m_key, 0, 22, 12, kCaller), 9);
    EXPECT_EQ(db.StatutBTR, 9);
    EXPECT_THAT(engine.calls, IsEmpty());
    ASSERT_THAT(dialogs.messages, SizeIs(2));
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::Warning);
    EXPECT_EQ(dialogs.messages[0].title, "Kestrel : Player de secours - 1.0");
    EXPECT_EQ(dialogs.messages[0].text,
              "N\xB0 station hors limite: 11\r\n\r\nSub: Frm_Main:DataTransfert "
              "/D:Lib_Data_Pervasive:BTRieve");
    // The call is in the history, without a status.
    EXPECT_EQ(db.History(0)[0],
              "File:22 Station:12 OP:06 K:00 [12345678] [Frm_Main:DataTransfert /D]");
    EXPECT_EQ(Reports(), 0);
}

TEST_F(BtrieveLayerTest, StationAboveTenStillNormalisesTheRecord) {
    db.Records.At(30).SetInt16(9, 600);
    m_key = "12345678";
    layer.BTRieve(0, 5, m_key, 0, 30, 11, kCaller);
    EXPECT_EQ(db.Records.At(30).Int16(9), 0);
}

TEST_F(BtrieveLayerTest, FileNotOpenWarnsReportsTwentyAndAsksTheProgramToStop) {
    m_key = "KEY";
    layer.BTRieve(0, 5, m_key, 0, 20, 3, kCaller);
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_EQ(db.StatutBTR, 20);
    EXPECT_EQ(fatalCalls, 1);
    ASSERT_THAT(dialogs.messages, SizeIs(1));
    EXPECT_EQ(dialogs.messages[0].text,
              "Fichier 20 non ouvert\r\n\r\nStation: 3\r\n\r\nSub: Frm_Main:DataTransfert "
              "/D:Lib_Data_Pervasive:BTRieve");
    ASSERT_THAT(messages.messages, SizeIs(1));
    EXPECT_THAT(messages.messages[0].mainInstruction, HasSubstr("Err: 20\n"));
    EXPECT_EQ(db.History(0)[0].substr(0, 8), "S:00020 ");
    const auto& last = trace.lines.back();
    EXPECT_EQ(last.message,
              "Err: File 20 not open (Station: 3) |Sub: Frm_Main:DataTransfert /D |The program "
              "stops");
    EXPECT_TRUE(last.incident);
}

TEST_F(BtrieveLayerTest, WithoutFatalHookTheCallStillEndsWithTwenty) {
    layer.SetFatalHook(nullptr);
    Call(5, 21);
    EXPECT_EQ(db.StatutBTR, 20);
}

TEST_F(BtrieveLayerTest, BlankCallerLeavesNoHistory) {
    m_key = "12345678";
    layer.BTRieve(0, 5, m_key, 0, 22, 1, "   ");
    EXPECT_THAT(engine.calls, SizeIs(1));
    // Only the status mark lands on the (empty) newest line.
    EXPECT_EQ(db.History(0)[0], "S:00000 ");
    EXPECT_THAT(db.History(0)[1], IsEmpty());
}

TEST_F(BtrieveLayerTest, HistoryKeepsTheSixNewestCallsWithCleanedKeys) {
    for (int i = 0; i < 7; ++i) {
        Call(6, 22, "K" + std::to_string(i) + std::string("\x01", 1) + "23456");
    }
    EXPECT_EQ(db.History(0)[0],
              "S:00000 File:22 Station:1 OP:06 K:00 [K6 23456] [Frm_Main:DataTransfert /D]");
    EXPECT_THAT(db.History(0)[5], HasSubstr("[K1 23456]"));
    EXPECT_THAT(db.History(1)[0], IsEmpty());
}

// --- Status policy -------------------------------------------------------------------------

TEST_F(BtrieveLayerTest, KeyChangedOnUpdateOfFile35OrReadOfFile34LeavesSilently) {
    MarkOpen(0, 1, 35);
    MarkOpen(0, 1, 34);
    engine.Answer(7, 3);
    Call(3, 35, std::string(19, 'A'));
    EXPECT_EQ(db.StatutBTR, 7);
    Call(6, 34, std::string(22, 'A'));
    EXPECT_EQ(db.StatutBTR, 7);
    Call(7, 34, std::string(22, 'A'));
    EXPECT_EQ(db.StatutBTR, 7);
    EXPECT_THAT(engine.Operations(), ElementsAre(3, 6, 7));
    EXPECT_EQ(Reports(), 0);
}

TEST_F(BtrieveLayerTest, KeyChangedOnGetNextIsSettledByAGetEqualOnACopy) {
    test::ScriptedEngine::Reply first;
    first.status = 7;
    first.position = test::ScriptedEngine::Block{};
    first.position->fill(0x11);
    engine.script.push_back(first);
    test::ScriptedEngine::Reply equal;
    equal.dataLength = 12;
    engine.script.push_back(equal);
    Call(6, 22);
    EXPECT_THAT(engine.Operations(), ElementsAre(6, 5));
    EXPECT_EQ(db.StatutBTR, 7);
    // The get equal worked on a copy of the block the get next returned, and its own block
    // and length were dropped.
    EXPECT_THAT(engine.calls[1].position, Each(0x11));
    EXPECT_EQ(engine.calls[1].KeyText(), "12345678");
    EXPECT_EQ(engine.calls[1].keyNumber, 0);
    EXPECT_THAT(db.PositionBTR(0, 1, 22), Each(0x11));
    EXPECT_EQ(db.LongueurBTR[22], 900);
    EXPECT_EQ(Reports(), 0);
}

TEST_F(BtrieveLayerTest, KeyChangedWithAFailedGetEqualIsReportedAndReissued) {
    engine.Answer(7);
    engine.Answer(4);
    engine.Answer(0);
    Call(7, 22);
    EXPECT_THAT(engine.Operations(), ElementsAre(7, 5, 7));
    EXPECT_EQ(db.StatutBTR, 0);
    EXPECT_EQ(Reports(), 1);
    EXPECT_THAT(clock.sleeps, IsEmpty());
}

TEST_F(BtrieveLayerTest, KeyChangedOnOtherOperationsGivesUpAfterThreeReportedAttempts) {
    engine.defaultStatus = 7;
    Call(2, 22);
    EXPECT_THAT(engine.Operations(), ElementsAre(2, 2, 2));
    EXPECT_EQ(db.StatutBTR, 7);
    EXPECT_EQ(Reports(), 3);
}

TEST_F(BtrieveLayerTest, LockStatusesAreWaitedOutOneSecondApart) {
    for (const std::int16_t status :
         std::initializer_list<std::int16_t>{36, 37, 38, 39, 81, 83, 84, 85, 92}) {
        SCOPED_TRACE(status);
        engine.calls.clear();
        clock.sleeps.clear();
        engine.Answer(status, 3);
        Call(5, 22);
        EXPECT_EQ(db.StatutBTR, 0);
        EXPECT_THAT(engine.calls, SizeIs(4));
        EXPECT_THAT(clock.sleeps, ElementsAre(1000, 1000, 1000));
    }
    EXPECT_EQ(Reports(), 0);
}

TEST_F(BtrieveLayerTest, LockStatusIsReportedFromTheEleventhAttempt) {
    engine.Answer(84, 11);
    Call(3, 22);
    EXPECT_EQ(db.StatutBTR, 0);
    EXPECT_THAT(engine.calls, SizeIs(12));
    EXPECT_EQ(Reports(), 1);
    EXPECT_THAT(clock.sleeps, SizeIs(11));
}

TEST_F(BtrieveLayerTest, EndlessLockGivesUpAfterSixtyAttemptsWithTheStatus) {
    engine.defaultStatus = 85;
    Call(2, 22);
    EXPECT_THAT(engine.calls, SizeIs(60));
    EXPECT_THAT(clock.sleeps, SizeIs(59));
    EXPECT_EQ(Reports(), 50);
    EXPECT_EQ(db.StatutBTR, 85);
    EXPECT_EQ(db.History(0)[0].substr(0, 8), "S:00085 ");
}

// The re-read lands in a scratch buffer: the retried update sends the caller's record, not the
// one on disk (before, the update answered 0 with the caller's data lost).
TEST_F(BtrieveLayerTest, ConflictOnUpdateRereadsOnACopyAndRetriesHalfASecondApart) {
    db.Records.At(22).SetText(fields::fdat022::kSongId, "CALLER01");
    test::ScriptedEngine::Reply conflict;
    conflict.status = 80;
    conflict.position = test::ScriptedEngine::Block{};
    conflict.position->fill(0x22);
    engine.script.push_back(conflict);
    test::ScriptedEngine::Reply equal;
    equal.status = 0;
    equal.record = "ZZZZZZZZ";
    engine.script.push_back(equal);
    engine.Answer(80);
    engine.Answer(9);  // its result is not used
    engine.Answer(0);
    Call(3, 22);
    EXPECT_THAT(engine.Operations(), ElementsAre(3, 5, 3, 5, 3));
    EXPECT_THAT(clock.sleeps, ElementsAre(500, 500));
    EXPECT_EQ(db.StatutBTR, 0);
    EXPECT_THAT(engine.calls[1].position, Each(0x22));
    EXPECT_THAT(engine.calls[2].position, Each(0x22));  // the get equal's block was not kept
    EXPECT_EQ(engine.calls[2].data.substr(0, 8), "CALLER01");
    EXPECT_EQ(engine.calls[4].data.substr(0, 8), "CALLER01");
    EXPECT_EQ(Reports(), 0);
}

TEST_F(BtrieveLayerTest, ConflictOnDeleteRereadsButOnInsertDoesNot) {
    engine.Answer(80);
    Call(4, 22);
    EXPECT_THAT(engine.Operations(), ElementsAre(4, 5, 4));
    engine.calls.clear();
    engine.Answer(80);
    Call(2, 22);
    EXPECT_THAT(engine.Operations(), ElementsAre(2, 2));
}

// The original turned the eleventh conflict into a success: a write that never happened.
TEST_F(BtrieveLayerTest, EleventhConflictEndsTheCallWithConflictReportedWithoutDialog) {
    engine.defaultStatus = 80;
    Call(2, 22);
    EXPECT_THAT(engine.calls, SizeIs(11));
    EXPECT_THAT(clock.sleeps, SizeIs(10));
    EXPECT_THAT(clock.sleeps, Each(500));
    EXPECT_EQ(db.StatutBTR, 80);
    EXPECT_EQ(Reports(), 1);
    EXPECT_THAT(messages.messages, IsEmpty());
}

TEST_F(BtrieveLayerTest, ConflictAndLockRetriesShareOneCounter) {
    engine.Answer(80, 6);
    engine.Answer(84, 5);
    engine.Answer(84);  // the twelfth attempt: reported
    Call(2, 22);        // an insert: no get equal in between
    EXPECT_EQ(Reports(), 2);
    EXPECT_EQ(db.StatutBTR, 0);
}

TEST_F(BtrieveLayerTest, Status54OnUpdateOfFile35IsSuccess) {
    MarkOpen(0, 1, 35);
    engine.Answer(54);
    Call(3, 35, std::string(19, 'A'));
    EXPECT_EQ(db.StatutBTR, 0);
    engine.Answer(54);
    Call(3, 22);
    EXPECT_EQ(db.StatutBTR, 54);
    EXPECT_EQ(Reports(), 1);
    EXPECT_THAT(engine.calls, SizeIs(2));
}

TEST_F(BtrieveLayerTest, WritesReturnDuplicateSilentlyAndReportAnythingElse) {
    for (const std::int16_t operation : std::initializer_list<std::int16_t>{2, 3}) {
        engine.Answer(5);
        Call(operation, 22);
        EXPECT_EQ(db.StatutBTR, 5);
        EXPECT_EQ(Reports(), 0);
    }
    engine.Answer(4);
    Call(2, 22);
    EXPECT_EQ(db.StatutBTR, 4);
    EXPECT_EQ(Reports(), 1);
    engine.Answer(9);
    Call(3, 22);
    EXPECT_EQ(Reports(), 2);
    EXPECT_THAT(engine.calls, SizeIs(4));
}

// A table that refused a write with 46 (it may only be read, or it lost a bundle of writes)
// is reported once: its later writes are refused without a call until it is opened again,
// and its reads go on.
TEST_F(BtrieveLayerTest, AWriteRefusedWithFortySixIsReportedOnceUntilTheFileIsOpenedAgain) {
    engine.defaultStatus = 46;
    for (const int operation : {2, 3, 4, 2}) {
        EXPECT_EQ(Call(static_cast<std::int16_t>(operation), 22), 46);
    }
    EXPECT_EQ(Reports(), 1);
    EXPECT_THAT(engine.calls, SizeIs(1));
    EXPECT_THAT(db.History(0)[0], HasSubstr("S:00046 File:22 Station:1 OP:02"));

    engine.defaultStatus = 0;
    EXPECT_EQ(Call(5, 22), 0) << "reads go on";
    MarkOpen(0, 1, 22);
    EXPECT_EQ(Call(2, 22), 0) << "opened again, the file takes writes";
    EXPECT_THAT(engine.calls, SizeIs(3));
}

TEST_F(BtrieveLayerTest, ReadsReturnNotFoundDuplicateAndEndOfFileSilently) {
    for (const std::int16_t status : std::initializer_list<std::int16_t>{4, 5, 9}) {
        engine.Answer(status);
        EXPECT_EQ(Call(5, 22), status);
        EXPECT_EQ(db.StatutBTR, status);
    }
    EXPECT_EQ(Reports(), 0);
    for (const std::int16_t status : std::initializer_list<std::int16_t>{12, 8, 95, 3, 22}) {
        engine.Answer(status);
        EXPECT_EQ(Call(6, 22), status);
        EXPECT_EQ(db.StatutBTR, status);
    }
    EXPECT_EQ(Reports(), 5);
    engine.Answer(4);
    Call(4, 22);  // a delete is not a write: not found stays silent
    EXPECT_EQ(Reports(), 5);
    engine.Answer(12);
    Call(5, 22);  // a get equal answering 12 is reported
    EXPECT_EQ(Reports(), 6);
    EXPECT_THAT(engine.calls, SizeIs(10));
}

// --- Key test ------------------------------------------------------------------------------

TEST_F(BtrieveLayerTest, ShortKeyIsTracedAndTheCallGoesAhead) {
    Call(5, 22, "ABC");
    ASSERT_FALSE(trace.lines.empty());
    const auto& line = trace.lines.front();
    EXPECT_EQ(line.message,
              "Err: Key too short: NoFile: 22 Key: 0 Lng: 3 OP: 5\nKey:ABC Sub: "
              "Frm_Main:DataTransfert /D");
    EXPECT_TRUE(line.incident);
    EXPECT_EQ(line.base, -1);
    EXPECT_EQ(line.file, -1);
    EXPECT_THAT(engine.calls, SizeIs(1));
}

TEST_F(BtrieveLayerTest, KeyTestSkipsItsExceptions) {
    MarkOpen(0, 1, 53);
    MarkOpen(0, 1, 20);
    Call(5, 53, "A");         // file 53: no minimum
    Call(5, 22, "A", 6);      // a key number file 22 does not have
    Call(5, 20, "ABC", 1);    // file 20 key 1: minimum 3
    Call(5, 22, "12345678");  // long enough
    const std::size_t callsBefore = engine.calls.size();
    for (const std::int16_t operation : std::initializer_list<std::int16_t>{19, 20, 1019, 21}) {
        Call(operation, 22, "");  // transactions are not tested
    }
    EXPECT_EQ(engine.calls.size(), callsBefore + 4);  // each one reached the engine
    traceState.ApplicationEnFermeture = true;
    Call(5, 22, "A");
    EXPECT_THAT(TakeTrace(), IsEmpty());
    traceState.ApplicationEnFermeture = false;
    Call(5, 20, "AB", 1);
    EXPECT_THAT(TakeTrace(), ElementsAre(HasSubstr("NoFile: 20 Key: 1 Lng: 2")));
}

TEST_F(BtrieveLayerTest, EmptyKeyIsTooShortBeforeItBecomesBlanks) {
    Call(6, 22, "");
    EXPECT_THAT(TakeTrace(), ElementsAre(HasSubstr("Lng: 0 OP: 6")));
}

// --- Record buffers ------------------------------------------------------------------------

TEST_F(BtrieveLayerTest, ARecordReadFromOneStationIsTheBufferAnInsertIntoAnotherSends) {
    MarkOpen(0, 2, 22);
    test::ScriptedEngine::Reply read;
    std::string record(900, 'r');
    record.replace(453, 5, "ON12O");  // fields the read leaves as they are
    record.replace(465, 2, "07");
    record[856] = ' ';
    record[107] = 'O';
    read.record = record;
    engine.script.push_back(read);
    m_key = "12345678";
    layer.BTRieve(0, 5, m_key, 0, 22, 1, kCaller);
    layer.BTRieve(0, 2, m_key, 0, 22, 2, kCaller);
    ASSERT_THAT(engine.calls, SizeIs(2));
    EXPECT_EQ(engine.calls[1].data, record);
    EXPECT_EQ(engine.calls[1].dataLength, 900U);
}

TEST_F(BtrieveLayerTest, InsertAndUpdateSendBytesOfNoFieldAsZeros) {
    MarkOpen(0, 1, 17);
    for (const std::int16_t operation : std::initializer_list<std::int16_t>{2, 3, 5}) {
        RecordBuffer& record = db.Records.At(17);
        std::fill_n(record.Data(), record.Size(), std::uint8_t{'x'});
        Call(operation, 17, std::string(14, 'A'));
    }
    EXPECT_EQ(engine.calls[0].data[315], '\0');  // position 316 belongs to no field
    EXPECT_EQ(engine.calls[0].data[314], 'x');
    EXPECT_EQ(engine.calls[1].data[759], '\0');
    EXPECT_EQ(engine.calls[2].data[315], 'x');  // a read sends the buffer as it is
}

TEST_F(BtrieveLayerTest, FileWithoutRecordBufferMakesNoEngineCall) {
    MarkOpen(0, 1, 40);
    Call(5, 40);
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_EQ(db.StatutBTR, 0);
    PositionBlock block{};
    std::uint32_t length = 10;
    std::string key = "k";
    EXPECT_EQ(layer.BTRieve_Reel(45, 5, block, length, key, 0), 0);
    EXPECT_THAT(engine.calls, IsEmpty());
}

TEST_F(BtrieveLayerTest, OutOfRangeAddressesAreReportedNeverSuccess) {
    db.StatutBTR = 0;
    m_key = "12345678";
    EXPECT_EQ(layer.BTRieve(7, 5, m_key, 0, 22, 1, kCaller), 1);  // slot 7 does not exist
    EXPECT_EQ(db.StatutBTR, 1);
    db.StatutBTR = 0;
    layer.BTRieve(0, 5, m_key, 0, 70, 1, "");  // nor does file 70
    EXPECT_EQ(db.StatutBTR, 1);
    EXPECT_THAT(engine.calls, IsEmpty());
    EXPECT_EQ(fatalCalls, 0);
    EXPECT_THAT(trace.Messages(), Contains(HasSubstr("Lib_Data_Pervasive:BTRieve")));
}

// --- Read normalisation --------------------------------------------------------------------

class ReadNormalisationTest : public BtrieveLayerTest {
  protected:
    ReadNormalisationTest() {
        MarkOpen(0, 1, 20);
        MarkOpen(0, 1, 30);
    }
    // A read of `file` that fails with `status` and leaves the buffer as the test set it.
    void Read(std::int16_t file, std::int16_t status = 0) {
        engine.Answer(status);
        Call(6, file, std::string(8, 'A'));
    }
    RecordBuffer& Songs() { return db.Records.At(22); }
    RecordBuffer& Artists() { return db.Records.At(20); }
};

TEST_F(ReadNormalisationTest, ClockCounterOf512OrMoreBecomesZeroEvenWhenTheReadFailed) {
    RecordBuffer& clockRecord = db.Records.At(30);
    clockRecord.SetInt16(9, 600);
    Read(30, 9);
    EXPECT_EQ(clockRecord.Int16(9), 0);
    clockRecord.SetInt16(9, 512);
    Read(30);
    EXPECT_EQ(clockRecord.Int16(9), 0);
    clockRecord.SetInt16(9, 511);
    Read(30);
    EXPECT_EQ(clockRecord.Int16(9), 511);
    clockRecord.SetInt16(9, -3);
    Read(30);
    EXPECT_EQ(clockRecord.Int16(9), -3);
}

TEST_F(ReadNormalisationTest, ArtistFlagMovesFromPosition146To265) {
    const FieldRef a = fields::fdat020::kFlagA;
    const FieldRef b = fields::fdat020::kFlagB;
    Artists().SetText(a, "1");
    Artists().SetText(b, "x");
    Read(20);
    EXPECT_EQ(Artists().Text(a), " ");
    EXPECT_EQ(Artists().Text(b), "1");
    Artists().SetText(a, "2");
    Read(20);
    EXPECT_EQ(Artists().Text(b), "O");
    Artists().SetText(a, "7");
    Read(20);
    EXPECT_EQ(Artists().Text(a), " ");
    EXPECT_EQ(Artists().Text(b), "O");
}

TEST_F(ReadNormalisationTest, SongFlagsAndCounterAreRewritten) {
    using namespace fields::fdat022;
    Songs().SetText(kFlagsF, "xxxxx");
    Songs().SetText(kNumberG, "  ");
    Songs().SetText(kFlagH, "O");
    Songs().SetText(kFlagJ, "x");
    Read(22);
    EXPECT_EQ(Songs().Text(kFlagsF), "22222");
    EXPECT_EQ(Songs().Text(kNumberG), "00");
    EXPECT_EQ(Songs().Text(kFlagH), " ");
    EXPECT_EQ(Songs().Text(kFlagJ), "1");

    Songs().SetText(kFlagsF, "abNcd");
    Songs().SetText(kNumberG, "07");
    Songs().SetText(kFlagH, "N");
    Songs().SetText(kFlagJ, "x");
    Read(22, 4);
    EXPECT_EQ(Songs().Text(kFlagsF), "abNcd");
    EXPECT_EQ(Songs().Text(kNumberG), "07");
    EXPECT_EQ(Songs().Text(kFlagH), " ");
    EXPECT_EQ(Songs().Text(kFlagJ), "N");

    for (const char* kept : {"O", "1", "N", "-"}) {
        Songs().SetText(kFlagJ, kept);
        Read(22);
        EXPECT_EQ(Songs().Text(kFlagJ), kept);
    }
}

TEST_F(ReadNormalisationTest, WritesAreNotNormalised) {
    using namespace fields::fdat022;
    Songs().SetText(kFlagsF, "xxxxx");
    Call(2, 22);
    Call(4, 22);
    EXPECT_EQ(Songs().Text(kFlagsF), "xxxxx");
    Call(9, 22);
    EXPECT_EQ(Songs().Text(kFlagsF), "22222");
}

}  // namespace
}  // namespace ks
