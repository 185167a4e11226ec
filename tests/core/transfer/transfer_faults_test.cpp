// The transfer when the clock, the data or the engine make it take its other paths: the
// window's first hour, a damaged source schedule, the engine connection lost in each phase,
// "invalid positioning" on the advertising schedule, no FDAT053, a second call during a run,
// and calls that keep failing, which end their loop instead of spinning.
#include <map>
#include <optional>

#include "ks/engine/btr_codes.h"
#include "transfer_fixture.h"

namespace ks {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
namespace f = fields;
using test::Advert;

// The test name of a case: its call site without " /".
template <class Case>
std::string SiteName(const ::testing::TestParamInfo<Case>& info) {
    return std::string(info.param.site).substr(2);
}
using test::Music;

// Past this many engine calls a transfer is taken to spin: every later call answers 95, so the
// test ends and fails instead of hanging.
constexpr long kSpinningCalls = 100'000;

class TransferFaultTest : public test::TransferFixture {
  protected:
    TransferFaultTest() {
        faults.rule = [this](std::uint16_t operation) -> std::optional<std::int16_t> {
            // A call of the layer has its history line, not yet marked with its status.
            const std::string& line = db.History(0)[0];
            const std::size_t at = line.rfind(" /");
            const std::string site = line.starts_with("S:") || at == std::string::npos
                                         ? ""
                                         : line.substr(at, line.size() - at - 1);
            ++siteCalls[site];
            if (faults.calls > kSpinningCalls) {
                return engine::status::kEngineGone;
            }
            if (!failSite.empty() && site == failSite &&
                (!failOperation || operation == *failOperation) &&
                (failTimes < 0 || failed < failTimes)) {
                ++failed;
                return failStatus;
            }
            return std::nullopt;
        };
    }

    // Calls at `site` (of `operation`, when given) answer `status`, the first `times` of them
    // (all when negative).
    void FailAt(const std::string& site, std::int16_t status,
                std::optional<std::uint16_t> operation = std::nullopt, int times = -1) {
        failSite = site;
        failStatus = status;
        failOperation = operation;
        failTimes = times;
    }

    // A song with per-song rows, an advertising spot, settings and records to purge.
    void SmallStation() {
        Source(35, {Music("2026120710", "00", "Son", "SONG0001"),
                    Music("2026120710", "10", "Son", "SONG0002")});
        Local(35, {Music("2026120710", "30", "Son", "OLD00001"),
                   Music("2026120710", "40", "Son", "OLD00002"),
                   Music("2026120301", "00", "Son", "PURGE001")});
        Source(22, {test::Song("SONG0001", "A0001", "", "Title", "")});
        Source(29, {KeyRow("NEW1"), KeyRow("NEW2"), KeyRow("NEW3")});
        Local(29, {KeyRow("OLD1"), KeyRow("OLD2")});
        Source(27, {Advert("2026120710", "0001", "SPOT0001")});
        Local(27, {Advert("2026120710", "0009", "OLDSPOT1"), Advert("2026120100", "0001", "OLD")});
        Source(26, {Recorder("SPOT0001", "new")});
        Local(26, {Recorder("SPOT0001", "old")});
        Source(9, {Setting("GRP01NUM01"), Setting("GRP01NUM02")});
        Local(0, {Setting("GRP00NUM00")});
        Local(28, {test::Broadcast("2026120100000000"), test::Broadcast("2026120200000000")});
    }
    static test::Row KeyRow(const std::string& kind) {
        return {{test::kKeyRowKind, kind}, {f::fdat029::kSongId, "SONG0001"}};
    }
    static test::Row Recorder(const std::string& song, const std::string& label) {
        return {{f::fdat026::kSongId, song}, {test::kRecorderLabel, label}};
    }
    static test::Row Setting(const std::string& key) { return {{f::fdat000::kKey0, key}}; }

    bool Closed() const { return view.values.at("progress") == "0..12:0" && AllClosed(); }
    bool Traced(const std::string& prefix) const { return !TraceLines({prefix}).empty(); }

    std::map<std::string, int> siteCalls;
    std::string failSite;
    std::int16_t failStatus = 0;
    std::optional<std::uint16_t> failOperation;
    int failTimes = -1;
    int failed = 0;
};

struct WindowCase {
    DateTime now;
    std::vector<std::string> replacedHours;
};

class TransferWindowTest : public TransferFaultTest,
                           public ::testing::WithParamInterface<WindowCase> {};

TEST_P(TransferWindowTest, OnlyTheWindowsHoursAreReplaced) {
    const std::vector<std::string> hours{"2026120710", "2026120711", "2026120712", "2026120723",
                                         "2026120800"};
    std::vector<test::Row> source;
    std::vector<test::Row> local;
    for (const std::string& hour : hours) {
        source.push_back(Music(hour, "00", "Son", "NEW"));
        local.push_back(Music(hour, "00", "Son", "OLD"));
    }
    Source(35, source);
    Local(35, local);
    clock.SetNow(GetParam().now);
    Run();

    std::vector<std::string> expected;
    for (const std::string& hour : hours) {
        const bool replaced =
            std::count(GetParam().replacedHours.begin(), GetParam().replacedHours.end(), hour) > 0;
        expected.push_back(hour + "|" + (replaced ? "NEW" : "OLD") + std::string(10, ' '));
    }
    EXPECT_EQ(LocalRows(35, {FieldRef{1, 10}, f::fdat035::kSongId}), expected);
}

INSTANTIATE_TEST_SUITE_P(
    StartOfTheWindow, TransferWindowTest,
    ::testing::Values(WindowCase{{2026, 12, 7, 10, 29, 59, 0},
                                 {"2026120711", "2026120712", "2026120723", "2026120800"}},
                      WindowCase{{2026, 12, 7, 10, 30, 0, 0},
                                 {"2026120712", "2026120723", "2026120800"}},
                      WindowCase{{2026, 12, 7, 23, 40, 0, 0}, {"2026120800"}}));

// Any read error of the check, a lost connection (95) included, only marks the schedule
// damaged: the songs phase then runs on an empty list, and the later phases meet the engine
// themselves.
class TransferDamagedTest : public TransferFaultTest,
                            public ::testing::WithParamInterface<std::int16_t> {};

TEST_P(TransferDamagedTest, DamagedSourceScheduleLeavesTheLocalScheduleAndRunsTheOtherPhases) {
    SmallStation();
    FailAt(" /D", GetParam(), engine::op::kGetNext, 1);
    Run();

    EXPECT_THAT(TraceLines({"Music schedule damaged"}),
                ElementsAre("Music schedule damaged for '2026120710000100000' No transfert"));
    EXPECT_THAT(TraceLines({"Start: Transfert data", "End  : Transfert data"}),
                ElementsAre("End  : Transfert data for Workshops, Artists, Categories"));
    EXPECT_THAT(LocalRows(35, {f::fdat035::kSongId}),
                ElementsAre("OLD00001     ", "OLD00002     "));  // the old day purged
    EXPECT_THAT(LocalRows(0, {f::fdat000::kKey0}), ElementsAre("GRP01NUM01", "GRP01NUM02"));
    EXPECT_FALSE(err95);
}

INSTANTIATE_TEST_SUITE_P(ReadErrors, TransferDamagedTest,
                         ::testing::Values(std::int16_t{2}, engine::status::kEngineGone));

struct LostCase {
    const char* site;
    const char* firstSkipped;          // the first trace line that must not appear
    const char* stillTried = nullptr;  // a later trace line that must appear
};

class TransferLostTest : public TransferFaultTest,
                         public ::testing::WithParamInterface<LostCase> {};

TEST_P(TransferLostTest, LaterPhasesAreSkippedAndTheTablesClosed) {
    SmallStation();
    FailAt(GetParam().site, engine::status::kEngineGone);
    Run();

    EXPECT_TRUE(err95);
    EXPECT_FALSE(Traced(GetParam().firstSkipped));
    if (GetParam().stillTried != nullptr) {
        EXPECT_TRUE(Traced(GetParam().stillTried));
    }
    EXPECT_TRUE(Closed());
}

INSTANTIATE_TEST_SUITE_P(EachPhase, TransferLostTest,
                         ::testing::Values(LostCase{" /A", "End  : Transfert data for Workshops"},
                                           LostCase{" /H", "Start: Delete Advertising schedule"},
                                           LostCase{" /AB", "Start: Delete Advertising schedule"},
                                           LostCase{" /AL", "Start: Transfert Settings"},
                                           LostCase{" /AS", "Start: Transfert Settings"},
                                           LostCase{" /AW", "Start: Deleting Backup 35"},
                                           // FDAT053 and FDAT028 are purged in the same
                                           // step as FDAT035; FDAT027 is not.
                                           LostCase{" /AY", "Start: Deleting Backup 27",
                                                    "Start: Deleting Backup 28"},
                                           LostCase{" /BA", "Start: Deleting Backup 27"},
                                           LostCase{" /BC", "End: Deleting Backup 27"}),
                         SiteName<LostCase>);

TEST_F(TransferFaultTest, InvalidPositioningOnTheAdvertisingScheduleSkipsItsSongsOnly) {
    SmallStation();
    FailAt(" /AO", engine::status::kInvalidPositioning);
    Run();

    EXPECT_TRUE(err8);
    EXPECT_FALSE(err95);
    EXPECT_EQ(siteCalls[" /AQ"], 0);
    EXPECT_THAT(LocalRows(26, {test::kRecorderLabel}), ElementsAre("old" + std::string(27, ' ')));
    EXPECT_TRUE(Traced("End  : Transfert Settings"));
    EXPECT_TRUE(Traced("End: Deleting Backup 27"));
}

TEST_F(TransferFaultTest, WithoutTable53ItIsNeitherOpenedNorTouched) {
    Source(53, {test::Player("2026120710", "00", "Son", "NEW")});
    Local(53, {test::Player("2026120101", "00", "Son", "OLD"),
               test::Player("2026120710", "30", "Son", "OLD")});
    copied.PresenceFichier53 = false;
    Run();

    EXPECT_THAT(LocalRows(53, {f::fdat053::kKey0}),
                ElementsAre("2026120101000000", "2026120710300000"));
    for (const std::string& line : TraceLines({"Open: "})) {
        EXPECT_EQ(line.find("53.bt6"), std::string::npos) << line;
    }
    EXPECT_THAT(view.calls, Contains("itemProgress=0..30:28"));
    EXPECT_THAT(view.calls, Not(Contains("itemProgress=0..30:29")));
}

TEST_F(TransferFaultTest, ACallDuringATransferReturnsAtOnceLeavingItsFlags) {
    SmallStation();
    bool inner95 = true;
    bool inner8 = true;
    pump.onEvents = [&](int call) {
        if (call == 10) {
            const std::int16_t offset = 1;
            transfer.DataTransfert(1, copied, offset, inner95, inner8);
        }
    };
    Run();

    EXPECT_TRUE(inner95);
    EXPECT_TRUE(inner8);
    EXPECT_EQ(TraceLines({"Open: "}).size(), 30U);
    EXPECT_FALSE(transfer.Running());
}

// Each of these calls fails for good; the loop around it reports it (the layer and the
// transfer, once each) and gives up, and the transfer goes on to its end.
struct StuckCase {
    const char* site;
    std::uint16_t operation;
    int failures;  // loops that meet the failing call
};

class TransferStuckTest : public TransferFaultTest,
                          public ::testing::WithParamInterface<StuckCase> {};

TEST_P(TransferStuckTest, AFailingCallEndsItsLoopAfterOneTry) {
    SmallStation();
    FailAt(GetParam().site, engine::status::kIoError, GetParam().operation);
    Run();

    EXPECT_EQ(failed, GetParam().failures);
    EXPECT_EQ(messages.messages.size(), 2U * static_cast<std::size_t>(GetParam().failures));
    EXPECT_FALSE(err95);
    EXPECT_TRUE(Closed());
}

INSTANTIATE_TEST_SUITE_P(DeletesAndLookups, TransferStuckTest,
                         ::testing::Values(StuckCase{" /B", engine::op::kGetGreaterOrEqual, 2},
                                           StuckCase{" /C", engine::op::kDelete, 1},
                                           StuckCase{" /Z", engine::op::kGetGreaterOrEqual, 1},
                                           StuckCase{" /AA", engine::op::kDelete, 1},
                                           StuckCase{" /AM", engine::op::kGetGreaterOrEqual, 1},
                                           StuckCase{" /AN", engine::op::kDelete, 1},
                                           StuckCase{" /AU", engine::op::kGetGreaterOrEqual, 1},
                                           StuckCase{" /AV", engine::op::kDelete, 1},
                                           StuckCase{" /BA", engine::op::kGetLessOrEqual, 1},
                                           StuckCase{" /BB", engine::op::kDelete, 1}),
                         SiteName<StuckCase>);

// A destination row of a song that could not be removed (its lookup or its delete failed) is
// left as it is: inserting the source's row beside it would keep the song twice in a table
// whose key 0 allows duplicates, load after load, since each load replaces one row.
struct KeptRowCase {
    const char* site;
    std::uint16_t operation;
    int table;
    FieldRef label;
};

class TransferKeptRowTest : public TransferFaultTest,
                            public ::testing::WithParamInterface<KeptRowCase> {};

TEST_P(TransferKeptRowTest, ARowThatCouldNotBeDeletedIsNotDoubled) {
    const KeptRowCase& kept = GetParam();
    SmallStation();
    Source(24, {{{f::fdat024::kSongId, "SONG0001"}, {test::kStackLabel, "new"}}});
    Local(24, {{{f::fdat024::kSongId, "SONG0001"}, {test::kStackLabel, "old"}}});
    Source(26, {Recorder("SONG0001", "new"), Recorder("SPOT0001", "new")});
    Local(26, {Recorder("SONG0001", "old"), Recorder("SPOT0001", "old")});
    FailAt(kept.site, engine::status::kIoError, kept.operation);
    Run();

    EXPECT_EQ(failed, 1);
    // SONG0001 keeps its old row alone; the advertising spot of FDAT026 is replaced.
    const auto label = [&](const std::string& text) {
        return text + std::string(kept.label.width - text.size(), ' ');
    };
    std::vector<std::string> rows{label("old")};
    if (kept.table == 26) {
        rows.push_back(label("new"));
    }
    EXPECT_EQ(LocalRows(kept.table, {kept.label}), rows);
    EXPECT_FALSE(err95);
}

INSTANTIATE_TEST_SUITE_P(
    SingleRowReplace, TransferKeptRowTest,
    ::testing::Values(KeptRowCase{" /R", engine::op::kGetEqual, 24, test::kStackLabel},
                      KeptRowCase{" /S", engine::op::kDelete, 24, test::kStackLabel},
                      KeptRowCase{" /V", engine::op::kGetEqual, 26, test::kRecorderLabel},
                      KeptRowCase{" /W", engine::op::kDelete, 26, test::kRecorderLabel}),
    SiteName<KeptRowCase>);

// A failed lookup is never taken for a row of the song: nothing of the song is deleted.
TEST_F(TransferFaultTest, AFailedRowLookupDeletesNothing) {
    SmallStation();
    FailAt(" /Z", engine::status::kIoError);
    Run();

    EXPECT_EQ(siteCalls[" /AA"], 0);
    EXPECT_THAT(LocalRows(29, {test::kKeyRowKind}, 2),
                ElementsAre("OLD1      ", "OLD2      ", "NEW1      ", "NEW2      ", "NEW3      "));
}

// A read that fails ends its copy: the record still in the buffer is not inserted again.
struct ReadCase {
    const char* site;
    const char* insertSite;
    int table;
    int keyNumber;
    FieldRef field;
    const char* copied;  // the one record the destination then holds
};

class TransferReadTest : public TransferFaultTest,
                         public ::testing::WithParamInterface<ReadCase> {};

TEST_P(TransferReadTest, AFailedReadEndsItsCopyLoop) {
    const ReadCase& read = GetParam();
    SmallStation();
    FailAt(read.site, engine::status::kIoError, engine::op::kGetNext);
    Run();

    EXPECT_EQ(failed, 1);
    EXPECT_EQ(siteCalls[read.insertSite], 1);
    EXPECT_EQ(messages.messages.size(), 2U);
    EXPECT_THAT(LocalRows(read.table, {read.field}, read.keyNumber), ElementsAre(read.copied));
}

INSTANTIATE_TEST_SUITE_P(
    CopyLoops, TransferReadTest,
    ::testing::Values(ReadCase{" /AB", " /AC", 29, 2, test::kKeyRowKind, "NEW1      "},
                      ReadCase{" /AW", " /AX", 0, 0, f::fdat000::kKey0, "GRP01NUM01"}),
    SiteName<ReadCase>);

TEST_F(TransferFaultTest, ATableThatDidNotOpenSkipsThePhasesUsingIt) {
    SmallStation();
    std::filesystem::remove(tables.Path(localFolder, 22, test::kLocalStation));
    Run();

    EXPECT_THAT(TraceLines({"Err: FDAT"}),
                ElementsAre("Err: FDATA22.bt6 not open (Station: 1) |Skipped: Workshops, "
                            "Artists, Categories"));
    EXPECT_EQ(fatalCalls, 0);
    EXPECT_THAT(dialogs.messages, IsEmpty());
    EXPECT_THAT(LocalRows(35, {f::fdat035::kSongId}),
                ElementsAre("SONG0001     ", "SONG0002     "));
    EXPECT_THAT(LocalRows(26, {test::kRecorderLabel}), ElementsAre("new" + std::string(27, ' ')));
}

// The advertising songs are the advertising schedule's only: when FDAT027 did not open, the
// songs of the music schedule are not replaced a second time, not even one the songs phase
// left alone because the source has no FDAT022 record of it (SONG0002).
TEST_F(TransferFaultTest, WithoutTheAdvertisingScheduleItsSongsStepHasNoSongs) {
    SmallStation();
    Source(26, {Recorder("SONG0001", "new"), Recorder("SONG0002", "new")});
    Local(26, {Recorder("SONG0001", "old"), Recorder("SONG0002", "old")});
    std::filesystem::remove(tables.Path(localFolder, 27, test::kLocalStation));
    Run();

    EXPECT_THAT(TraceLines({"Err: FDAT"}),
                ElementsAre("Err: FDATA27.bt6 not open (Station: 1) |Skipped: Advertising schedule",
                            "Err: FDATA27.bt6 not open (Station: 1) |Skipped: Deleting Backup 27"));
    EXPECT_EQ(siteCalls[" /AQ"], 0);
    EXPECT_THAT(
        LocalRows(26, {f::fdat026::kSongId, test::kRecorderLabel}),
        ElementsAre("SONG0001|new" + std::string(27, ' '), "SONG0002|old" + std::string(27, ' ')));
}

// The purge's cut-off is three days before the date of the clock when the purge starts, not
// when the transfer started: a transfer that passes midnight purges one day more.
TEST_F(TransferFaultTest, ThePurgeTakesItsDateWhenItStarts) {
    SmallStation();
    Local(35, {Music("2026120423", "00", "Son", "DAY04"), Music("2026120523", "00", "Son", "DAY05"),
               Music("2026120600", "00", "Son", "DAY06")});
    // The settings are copied just before the purge; the day changes meanwhile.
    pump.onEvents = [this](int) {
        if (view.values["progress"] == "0..12:6") {
            clock.SetNow({2026, 12, 8, 0, 0, 1, 0});
        }
    };
    Run();

    EXPECT_THAT(LocalRows(35, {f::fdat035::kSongId}),
                ElementsAre("DAY06        ", "SONG0001     ", "SONG0002     "));
}

}  // namespace
}  // namespace ks
