// The transfer on two stations' tables, checked record by record: the window's hours of the
// music schedule and the player's log, the songs they play with their artists, categories
// and per-song rows, the advertising schedule and its songs, the settings, the purge, and
// what the trace and the progress display show.
#include "transfer_fixture.h"

namespace ks {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
namespace f = fields;

class TransferRecordsTest : public test::TransferFixture {};

TEST_F(TransferRecordsTest, HoursWithSourceRecordsEndExactlyAsTheSourcesAndOthersAreKept) {
    Source(35, {test::Music("2026120710", "05", "Son", "SONG0001XXXXX"),
                test::Music("2026120710", "20", "Jin", "JINGLE0001"),
                test::Music("2026120710", "40", "Son", "  SONG2"),
                test::Music("2026120800", "10", "Son", "SONG0001"),
                test::Music("2026120709", "00", "Son", "EARLY001")});
    Local(35, {test::Music("2026120709", "30", "Son", "OLD00004"),
               test::Music("2026120710", "05", "Son", "OLD00001"),
               test::Music("2026120710", "30", "Son", "OLD00002"),
               test::Music("2026120711", "00", "Son", "OLD00003")});
    Source(53, {test::Player("2026120710", "05", "Son", "SONG0003XY")});
    Local(53, {test::Player("2026120710", "50", "Son", "OLD00005"),
               test::Player("2026120712", "00", "Son", "OLD00006")});
    Run();

    const std::vector<FieldRef> music{f::fdat035::kKey0, f::fdat035::kElementType,
                                      f::fdat035::kSongId};
    EXPECT_THAT(LocalRows(35, music), ElementsAre("2026120709000093000|Son|OLD00004     ",
                                                  "2026120710000100500|Son|SONG0001     ",
                                                  "2026120710000102000|Jin|JINGLE0001   ",
                                                  "2026120710000104000|Son|  SONG2      ",
                                                  "2026120711000110000|Son|OLD00003     ",
                                                  "2026120800000001000|Son|SONG0001     "));
    EXPECT_THAT(LocalRows(53, {f::fdat053::kKey0, f::fdat053::kSongId}),
                ElementsAre("2026120710050000|SONG0003     ", "2026120712000000|OLD00006     "));
    EXPECT_FALSE(err95);
    EXPECT_FALSE(err8);
    EXPECT_TRUE(AllClosed());
    EXPECT_EQ(fatalCalls, 0);
    EXPECT_THAT(messages.messages, IsEmpty());
}

TEST_F(TransferRecordsTest, SongsOfTheScheduleArriveWithTheirArtistsCategoriesAndRows) {
    Source(35, {test::Music("2026120710", "00", "Son", "SONG0001"),
                test::Music("2026120710", "10", "Son", "song0001"),  // listed once
                test::Music("2026120710", "20", "Son", "SONG0002"),
                test::Music("2026120710", "30", "Son", "PRE00001"),
                test::Music("2026120710", "40", "Son", "SONG0003")});
    Source(22, {test::Song("SONG0001", "A0001", "A0002", "  Title One  ", "CAT01"),
                test::Song("SONG0002", "A0001", "", "Title Two", "")});
    Local(22, {test::Song("PRE00001", "", "", "Pre title", ""),
               test::Song("SONG0001", "A0009", "", "Old title", "CAT09"),
               test::Song("SONG0003", "", "", "Gone from the source", "")});
    Source(20, {test::Artist("A0001", "  Artist One "), test::Artist("A0002", "Artist Two")});
    Local(20, {test::Artist("A0001", "Old artist"), test::Artist("A0003", "Untouched")});
    Source(21, {test::Category("CAT01", "Rock"), test::Category("", "No category")});
    Local(21, {test::Category("CAT01", "Old rock")});
    Source(24, {{{f::fdat024::kSongId, "SONG0001"}, {test::kStackLabel, "stack new"}}});
    Local(24, {{{f::fdat024::kSongId, "SONG0001"}, {test::kStackLabel, "stack old"}},
               {{f::fdat024::kSongId, "SONG0002"}, {test::kStackLabel, "stack old 2"}}});
    Source(26, {{{f::fdat026::kSongId, "SONG0002"}, {test::kRecorderLabel, "recorder new"}}});
    Local(26, {{{f::fdat026::kSongId, "SONG0002"}, {test::kRecorderLabel, "recorder old"}}});
    const auto keyRow = [](const std::string& song, const std::string& kind) {
        return test::Row{{test::kKeyRowKind, kind},
                         {f::fdat029::kSongId, song},
                         {test::kKeyRowText, kind + " of " + song}};
    };
    Source(29,
           {keyRow("SONG0001", "NEW1"), keyRow("SONG0001", "NEW2"), keyRow("SONG0001", "NEW3")});
    Local(29, {keyRow("SONG0001", "OLD1"), keyRow("SONG0001", "OLD2"), keyRow("SONG0001", "OLD3"),
               keyRow("SONG0001", "OLD4"), keyRow("SONG0001", "OLD5"), keyRow("SONG0009", "KEPT")});
    Source(31, {{{f::fdat031::kSongId, "SONG0001"}, {test::kCueRest, "001"}},
                {{f::fdat031::kSongId, "SONG0001"}, {test::kCueRest, "002"}}});
    Local(31, {{{f::fdat031::kSongId, "SONG0000"}, {test::kCueRest, "001"}},
               {{f::fdat031::kSongId, "SONG0001"}, {test::kCueRest, "009"}},
               {{f::fdat031::kSongId, "SONG0009"}, {test::kCueRest, "001"}}});
    Source(32, {{{f::fdat032::kSongId, "SONG0002"},
                 {test::kInfoRest, "01"},
                 {test::kInfoText, "info new"}}});
    Local(32, {{{f::fdat032::kSongId, "SONG0002"},
                {test::kInfoRest, "01"},
                {test::kInfoText, "info old"}},
               {{f::fdat032::kSongId, "SONG0002"},
                {test::kInfoRest, "02"},
                {test::kInfoText, "info old 2"}}});
    Run();

    EXPECT_THAT(LocalRows(22, {f::fdat022::kSongId, f::fdat022::kTitle, f::fdat022::kCategory}),
                ElementsAre("PRE00001|Pre title" + std::string(31, ' ') + "|     ",
                            "SONG0001|Title One" + std::string(31, ' ') + "|CAT01",
                            "SONG0002|Title Two" + std::string(31, ' ') + "|     "));
    EXPECT_THAT(LocalRows(20, {f::fdat020::kArtistCode, f::fdat020::kName}),
                ElementsAre("A0001|Artist One" + std::string(20, ' '),
                            "A0002|Artist Two" + std::string(20, ' '),
                            "A0003|Untouched" + std::string(21, ' ')));
    EXPECT_THAT(LocalRows(21, {f::fdat021::kKey0, f::fdat021::kName}),
                ElementsAre("CATEG     |No category" + std::string(19, ' '),
                            "CATEGCAT01|Rock" + std::string(26, ' ')));
    // A row the source does not have is deleted and not replaced.
    EXPECT_THAT(LocalRows(24, {f::fdat024::kSongId, test::kStackLabel}),
                ElementsAre("SONG0001|stack new" + std::string(16, ' ')));
    EXPECT_THAT(LocalRows(26, {f::fdat026::kSongId, test::kRecorderLabel}),
                ElementsAre("SONG0002|recorder new" + std::string(18, ' ')));
    EXPECT_THAT(LocalRows(29, {f::fdat029::kSongId, test::kKeyRowKind}, 2),
                ElementsAre("SONG0001|NEW1      ", "SONG0001|NEW2      ", "SONG0001|NEW3      ",
                            "SONG0009|KEPT      "));
    EXPECT_THAT(LocalRows(31, {f::fdat031::kKey0}),
                ElementsAre("SONG0000001", "SONG0001001", "SONG0001002", "SONG0009001"));
    EXPECT_THAT(LocalRows(32, {f::fdat032::kKey0, test::kInfoText}),
                ElementsAre("SONG000201|info new" + std::string(32, ' ')));
    EXPECT_THAT(TraceLines({"# Workshops", "> Workshop", ">> "}),
                ElementsAre("# Workshops: 4", "> Workshop: SONG0001 1/4 (Title One)",
                            ">> Artist: A0001 (Artist One)", ">> Artist: A0002 (Artist Two)",
                            ">> Category: CAT01 (Rock)", "> Workshop: SONG0002 2/4 (Title Two)",
                            ">> Category:       (No category)"));
    EXPECT_THAT(messages.messages, IsEmpty());
}

TEST_F(TransferRecordsTest, AdvertisingHoursAndTheirSongsAreReplacedOnce) {
    Source(27, {test::Advert("2026120710", "0001", "SPOT0001"),
                test::Advert("2026120710", "0002", "SPOT0001"),
                test::Advert("2026120710", "0003", "PRE00009"),
                test::Advert("2026120810", "0001", "        ")});
    Local(27, {test::Advert("2026120710", "0001", "OLDSPOT1"),
               test::Advert("2026120710", "0009", "OLDSPOT2"),
               test::Advert("2026120711", "0001", "KEEP0001")});
    const auto recorder = [](const std::string& song, const std::string& label) {
        return test::Row{{f::fdat026::kSongId, song}, {test::kRecorderLabel, label}};
    };
    Source(26, {recorder("SPOT0001", "spot new"), recorder("PRE00009", "pre new"),
                recorder("        ", "blank new")});
    Local(26, {recorder("SPOT0001", "spot old"), recorder("PRE00009", "pre old"),
               recorder("        ", "blank old")});
    Run();

    EXPECT_THAT(
        LocalRows(27, {f::fdat027::kKey0, f::fdat027::kSongId}),
        ElementsAre("20261207100001|SPOT0001", "20261207100002|SPOT0001", "20261207100003|PRE00009",
                    "20261207110001|KEEP0001", "20261208100001|        "));
    const auto label = [](const std::string& text) {
        return text + std::string(30 - text.size(), ' ');
    };
    EXPECT_THAT(LocalRows(26, {f::fdat026::kSongId, test::kRecorderLabel}),
                ElementsAre("        |" + label("blank new"), "PRE00009|" + label("pre old"),
                            "SPOT0001|" + label("spot new")));
}

TEST_F(TransferRecordsTest, SettingsAreCopiedForTheFirstSetOnly) {
    const auto setting = [](const std::string& key, const std::string& label) {
        return test::Row{{f::fdat000::kKey0, key}, {test::kSettingLabel, label}};
    };
    for (const std::int16_t set : {std::int16_t{1}, std::int16_t{2}}) {
        SCOPED_TRACE(set);
        Source(9, {setting("GRP01NUM01", "backup one"), setting("GRP01NUM02", "backup two")});
        Local(0, {setting("GRP00NUM01", "local one"), setting("GRP01NUM01", "local two"),
                  setting("GRP09NUM09", "local three")});
        trace.lines.clear();
        Run(set);
        const std::vector<std::string> rows = LocalRows(0, {f::fdat000::kKey0});
        if (set == 1) {
            EXPECT_THAT(rows, ElementsAre("GRP01NUM01", "GRP01NUM02"));
            EXPECT_THAT(TraceLines({"Start: Transfert Settings", "End  : Transfert Settings"}),
                        ElementsAre("Start: Transfert Settings", "End  : Transfert Settings"));
        } else {
            EXPECT_THAT(rows, ElementsAre("GRP00NUM01", "GRP01NUM01", "GRP09NUM09"));
            EXPECT_THAT(TraceLines({"Start: Transfert Settings"}), IsEmpty());
        }
    }
}

TEST_F(TransferRecordsTest, PurgeDeletesRecordsOfThreeDaysAgoAndOlderFromFourTables) {
    Local(35,
          {test::Music("2026110110", "00", "Son", "A"), test::Music("2026120423", "59", "Son", "B"),
           test::Music("2026120500", "00", "Son", "C")});
    Local(53, {test::Player("2026120423", "59", "Son", "B"),
               test::Player("2026120500", "00", "Son", "C")});
    Local(28, {test::Broadcast("2026120300000000"), test::Broadcast("2026120423595999"),
               test::Broadcast("2026120500000000")});
    Local(27, {test::Advert("2026120423", "9999", "B"), test::Advert("2026120500", "0000", "C")});
    Run();

    EXPECT_THAT(LocalRows(35, {f::fdat035::kDate}), ElementsAre("20261205"));
    EXPECT_THAT(LocalRows(53, {f::fdat053::kDate}), ElementsAre("20261205"));
    EXPECT_THAT(LocalRows(28, {f::fdat028::kKey0}), ElementsAre("2026120500000000"));
    EXPECT_THAT(LocalRows(27, {f::fdat027::kKey0}), ElementsAre("20261205000000"));
    EXPECT_THAT(TraceLines({"Start: Deleting", "End: Deleting"}),
                ElementsAre("Start: Deleting Backup 35", "End: Deleting Backup 35",
                            "Start: Deleting Backup 53", "End: Deleting Backup 53",
                            "Start: Deleting Backup 28", "End: Deleting Backup 28",
                            "Start: Deleting Backup 27", "End: Deleting Backup 27"));
}

TEST_F(TransferRecordsTest, TraceAndProgressFollowThePhasesInOrder) {
    Source(35, {test::Music("2026120710", "00", "Son", "SONG0001")});
    Source(22, {test::Song("SONG0001", "", "", "Title", "")});
    Source(27, {test::Advert("2026120710", "0001", "SPOT0001")});
    Run();

    const std::string low = std::string("2026120710") + std::string(9, '\0');
    const std::string high = std::string("2026120710") + std::string(9, '\xFF');
    const std::string adLow = std::string("2026120710") + std::string(4, '\0');
    const std::string adHigh = std::string("2026120710") + std::string(4, '\xFF');
    EXPECT_THAT(TraceLines({"Start", "End", "# ", "> "}),
                ElementsAre("Start: Delete Schedule from " + low + " to " + high,
                            "End  : Delete Schedule from " + low + " to " + high,
                            "Start: Transfert Schedule from " + low + " to " + high,
                            "End  : Transfert Schedule from " + low + " to " + high,
                            "Start: Transfert data for Workshops, Artists, Categories",
                            "# Workshops: 1", "> Workshop: SONG0001 1/1 (Title)",
                            "End  : Transfert data for Workshops, Artists, Categories",
                            "Start: Delete Advertising schedule from " + adLow + " to " + adHigh,
                            "End  : Delete Advertising schedule from " + adLow + " to " + adHigh,
                            "Start: Transfert Advertising schedule from " + adLow + " to " + adHigh,
                            "End  : Transfert Advertising schedule from " + adLow + " to " + adHigh,
                            "Start: Transfert Settings", "End  : Transfert Settings",
                            "Start: Deleting Backup 35", "End: Deleting Backup 35",
                            "Start: Deleting Backup 53", "End: Deleting Backup 53",
                            "Start: Deleting Backup 28", "End: Deleting Backup 28",
                            "Start: Deleting Backup 27", "End: Deleting Backup 27"));
    EXPECT_EQ(TraceLines({"Open: "}).size(), 30U);

    std::vector<std::string> steps;
    for (const std::string& call : view.calls) {
        if (call.starts_with("progress=0..12:") && (steps.empty() || steps.back() != call)) {
            steps.push_back(call.substr(15));
        }
    }
    EXPECT_THAT(steps, ElementsAre("0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11",
                                   "12", "0"));
    EXPECT_THAT(view.calls, IsSupersetOf({"timer=on", "menu=disabled", "itemProgress=0..30:30",
                                          "caption=Close data base", "timer=off", "menu=enabled"}));
    EXPECT_EQ(view.values["transfer"], "hidden");
    EXPECT_EQ(view.values["caption"], "");
    EXPECT_EQ(view.values["menu"], "enabled");
}

}  // namespace
}  // namespace ks
