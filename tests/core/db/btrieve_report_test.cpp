#include "core/db/btrieve_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "db_fixture.h"

namespace ks {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::SizeIs;

constexpr std::string_view kPlace = "Lib_Data_Pervasive:BTRieve";

// The report text split at LF, the final empty piece dropped.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return lines;
}

class BtrieveReportTest : public test::DbFixture {
  protected:
    void Report(std::int16_t status, std::int16_t file = 22, std::string_view key = "KEY",
                std::int16_t operation = 5) {
        db.StatutBTR = status;
        report.ErreurBTrieve(0, file, operation, key, kPlace);
    }
    std::string LastDialog() const {
        return messages.messages.empty() ? std::string() : messages.messages.back().mainInstruction;
    }
};

TEST(ErreurBTrieveLibelleTest, EveryStatusText) {
    const std::vector<std::pair<std::int16_t, std::string>> texts = {
        {1, "Err: 1: The operation parameter is invalid\n"},
        {2, "Err: 2: The application encountered an I/O error\n"},
        {3, "Err: 3: The file is not open\n"},
        {4, "Err: 4: The application cannot find the key value\n"},
        {5, "Err: 5: The record has a key field containing a duplicate key value\n"},
        {6, "Err: 6: The key number parameter is invalid\n"},
        {7, "Err: 7: The key number has changed\n"},
        {8, "Err: 8: The current positioning is invalid\n"},
        {11, "Err: 11: The specified filename is invalid (F.bt6)\n"},
        {12, "Err: 12: The MicroKernel cannot find the specified file (F.bt6)\n"},
        {18, "Err: 18: The disk is full\n"},
        {19, "Err: 19: The application encountered an unrecoverable error\n"},
        {30, "Err: 30: The file specified is not a MicroKernel file\n"},
        {46, "Err: 46: Access to the requested file is denied (File locked ?)\n"},
        {161, "Err: 161: The maximum number of user count licenses has been reached\n"},
        {2007, "Err: 2007: A pointer parameter is invalid\n"},
        {3103, "Err: 3103: Network error\n"},
        {3110, "Err: 3110: Network error\n"},
        {3132, "Err: 3132: Network error\n"},
        {3102, "Err: 3102\n"},
        {3133, "Err: 3133\n"},
        {9, "Err: 9\n"},
        {80, "Err: 80\n"},
        {-1, "Err: -1\n"},
    };
    for (const auto& [status, text] : texts) {
        EXPECT_EQ(ErreurBTrieveLibelle(status, "F.bt6"), text);
    }
}

TEST_F(BtrieveReportTest, StatusZeroWritesNothing) {
    db.AddHistory(0, "File:22 Station:1 OP:05 K:00 [A] [x]");
    Report(0);
    EXPECT_THAT(trace.lines, IsEmpty());
    EXPECT_THAT(messages.messages, IsEmpty());
    EXPECT_EQ(db.History(0)[0], "File:22 Station:1 OP:05 K:00 [A] [x]");
}

TEST_F(BtrieveReportTest, FailedGetOnFile22ReadsLineByLine) {
    MarkOpen(0, 1, 22);
    std::string key = "00012345";
    layer.BTRieve(0, 5, key, 0, 22, 1, "Frm_Main:DataTransfert /F");
    engine.Answer(2);
    key = "00012346";
    layer.BTRieve(0, 6, key, 0, 22, 1, "Frm_Main:DataTransfert /G");

    const std::vector<std::string> expected = {
        "Fichier:   (KS3_Diffuseur_Secours)  (07/12/2026 09:05:07)",
        "Err: 2: The application encountered an I/O error",
        "",
        " 0>S:00002 File:22 Station:1 OP:06 K:00 [00012346] [Frm_Main:DataTransfert /G]",
        " 1>S:00000 File:22 Station:1 OP:05 K:00 [00012345] [Frm_Main:DataTransfert /F]",
        "",
        "Fa\xEEtes une restauration de ce fichier",
    };
    EXPECT_EQ(Lines(LastDialog()), expected);
    EXPECT_EQ(LastDialog().back(), '\n');

    ASSERT_THAT(trace.lines, SizeIs(8));
    const std::string frame(26, '=');
    EXPECT_THAT(
        trace.Messages(),
        ElementsAre(frame, "===== Err: Pervasive =====", frame, LastDialog(), std::string(17, '='),
                    "Err: Pervasive: 2", std::string(17, '='), "Err: " + LastDialog()));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(trace.lines[i].base, -1);
        EXPECT_FALSE(trace.lines[i].incident);
    }
    EXPECT_EQ(trace.lines[5].base, 0);
    EXPECT_EQ(trace.lines[5].file, -1);
    EXPECT_TRUE(trace.lines[5].incident);
    EXPECT_FALSE(trace.lines[7].incident);
    EXPECT_EQ(trace.lines[7].base, 0);

    ASSERT_THAT(messages.messages, SizeIs(1));
    EXPECT_EQ(messages.messages[0].content, "");
    EXPECT_EQ(messages.messages[0].footer, "");
    EXPECT_EQ(messages.messages[0].icon, 2);
    EXPECT_EQ(messages.messages[0].width, 450);
}

TEST_F(BtrieveReportTest, NoFileGivesTheDateAloneOnTheFirstLine) {
    Report(8, -1);
    EXPECT_EQ(Lines(LastDialog()).front(), "07/12/2026 09:05:07");
}

TEST_F(BtrieveReportTest, HistoryIsMarkedWithTheStatusAndBlankLinesAreLeftOut) {
    db.AddHistory(0, "File:22 (/x/FDATA22.bt6) Station:1 OP:00 K:00 [/x/FDATA22.bt6]");
    db.AddHistory(0, "   ");
    db.AddHistory(0, "File:20 Station:1 OP:00 K:00 [/x/FDATA20.bt6]");
    Report(12, 20, "/x/FDATA20.bt6");
    EXPECT_THAT(Lines(LastDialog()),
                ElementsAre(HasSubstr("Fichier: "),
                            "Err: 12: The MicroKernel cannot find the specified file "
                            "(/x/FDATA20.bt6)",
                            "", " 0>S:00012 File:20 Station:1 OP:00 K:00 [/x/FDATA20.bt6]",
                            " 2>File:22 (/x/FDATA22.bt6) Station:1 OP:00 K:00 [/x/FDATA22.bt6]"));
}

TEST_F(BtrieveReportTest, LicenceStatusHasNoHistoryButIsTracedAndShown) {
    db.AddHistory(0, "File:22 Station:1 OP:05 K:00 [A] [x]");
    Report(161);
    EXPECT_THAT(Lines(LastDialog()),
                ElementsAre(HasSubstr("Fichier: "),
                            "Err: 161: The maximum number of user count licenses has been "
                            "reached",
                            ""));
    EXPECT_EQ(db.History(0)[0], "File:22 Station:1 OP:05 K:00 [A] [x]");
    EXPECT_THAT(trace.Messages(), testing::Contains("Err: Pervasive: 161"));
}

TEST_F(BtrieveReportTest, RestorationHintForDamageStatuses) {
    for (std::int16_t status : std::initializer_list<std::int16_t>{2, 14, 15, 19, 30}) {
        Report(status);
        EXPECT_THAT(LastDialog(), HasSubstr("\n\nFa\xEEtes une restauration de ce fichier\n"))
            << status;
    }
    for (std::int16_t status : std::initializer_list<std::int16_t>{3, 12, 46, 8}) {
        Report(status);
        EXPECT_THAT(LastDialog(), Not(HasSubstr("restauration"))) << status;
    }
}

TEST_F(BtrieveReportTest, KeyNotFoundNeedsRestorationOnlyDuringADelete) {
    Report(4, 22, "KEY", 5);
    EXPECT_THAT(LastDialog(), Not(HasSubstr("restauration")));
    Report(4, 22, "KEY", 4);
    EXPECT_THAT(LastDialog(), HasSubstr("restauration"));
}

TEST_F(BtrieveReportTest, NetworkStatusesGetTheirOwnFramedLine) {
    Report(3110);
    EXPECT_THAT(Lines(LastDialog())[1], "Err: 3110: Network error");
    const auto lines = trace.Messages();
    const auto network =
        std::find(lines.begin(), lines.end(), "Err: Network Pervasive errors: 3110");
    ASSERT_NE(network, lines.end());
    EXPECT_EQ(*(network + 3), "Err: Pervasive: 3110");
    EXPECT_TRUE(trace.lines[static_cast<std::size_t>(network - lines.begin())].incident);
    EXPECT_THAT(messages.messages, SizeIs(1));

    trace.lines.clear();
    Report(3000);  // framed as a network status, but without the network text
    EXPECT_THAT(trace.Messages(), testing::Contains("Err: Network Pervasive errors: 3000"));
    EXPECT_EQ(Lines(LastDialog())[1], "Err: 3000");
    trace.lines.clear();
    Report(2999);
    EXPECT_THAT(trace.Messages(), Not(testing::Contains(HasSubstr("Network Pervasive"))));
}

TEST_F(BtrieveReportTest, ConflictGoesToTheTraceOnly) {
    Report(80);
    EXPECT_THAT(messages.messages, IsEmpty());
    EXPECT_THAT(trace.lines, SizeIs(4));
    EXPECT_THAT(trace.Messages(), Not(testing::Contains("Err: Pervasive: 80")));
}

TEST_F(BtrieveReportTest, ABadSlotStillReportsWithoutHistory) {
    db.StatutBTR = 2;
    report.ErreurBTrieve(9, 22, 5, "K", kPlace);
    EXPECT_THAT(messages.messages, SizeIs(1));
    EXPECT_THAT(Lines(LastDialog()), SizeIs(5));
}

}  // namespace
}  // namespace ks
