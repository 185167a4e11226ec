#include "core/sys/ini_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/one_line_changed.h"

namespace ks {
namespace {

using test::OnlyOneLineChanged;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// --- reading values ----------------------------------------------------------------------

TEST(IniFileValue, SectionAndKeyNamesIgnoreCaseAndSurroundingBlanks) {
    const IniFile ini("[Data]\r\nFrequency=60\r\n[ Folder ]\r\n  Source  =  //srv/data  \r\n");
    EXPECT_EQ(ini.Value("DATA", "frequency"), "60");
    EXPECT_EQ(ini.Value("folder", "SOURCE"), "//srv/data");
    EXPECT_EQ(ini.Value(" Folder ", " Source "), "//srv/data");
    EXPECT_EQ(ini.Value("Data", "Missing"), std::nullopt);
    EXPECT_EQ(ini.Value("Missing", "Frequency"), std::nullopt);
}

TEST(IniFileValue, AccentedNamesIgnoreCaseInWindows1252) {
    const IniFile ini("[R\xC9PERTOIRE]\nCl\xC9=1\n");  // "RÉPERTOIRE", "ClÉ"
    EXPECT_EQ(ini.Value("r\xE9pertoire", "cl\xE9"), "1");
}

TEST(IniFileValue, FirstOccurrenceOfAKeyAndOfASectionWins) {
    const IniFile ini("[S]\nk=first\nK=second\n[T]\nx=1\n[s]\nk=third\nonly=later\n");
    EXPECT_EQ(ini.Value("S", "k"), "first");
    // Keys of a repeated section are not seen: only the first section of a name counts.
    EXPECT_EQ(ini.Value("S", "only"), std::nullopt);
}

TEST(IniFileValue, OnePairOfEnclosingQuotesIsRemoved) {
    const IniFile ini(
        "[Q]\n"
        "double=\" padded \"\n"
        "single=' padded '\n"
        "twice=\"\"x\"\"\n"
        "mixed=\"x'\n"
        "lone=\"\n"
        "inner=a\"b\"c\n");
    EXPECT_EQ(ini.Value("Q", "double"), " padded ");
    EXPECT_EQ(ini.Value("Q", "single"), " padded ");
    EXPECT_EQ(ini.Value("Q", "twice"), "\"x\"");
    EXPECT_EQ(ini.Value("Q", "mixed"), "\"x'");
    EXPECT_EQ(ini.Value("Q", "lone"), "\"");
    EXPECT_EQ(ini.Value("Q", "inner"), "a\"b\"c");
}

TEST(IniFileValue, EmptyValueIsNotAMissingKey) {
    const IniFile ini("[S]\nempty=\nblank=   \nnoequals\n");
    EXPECT_EQ(ini.Value("S", "empty"), "");
    EXPECT_EQ(ini.Value("S", "blank"), "");
    EXPECT_EQ(ini.Value("S", "noequals"), std::nullopt);
}

TEST(IniFileValue, CommentsAndKeysOutsideAnySectionAreNotValues) {
    const IniFile ini("orphan=1\n;[S]\n[S]\n;k=commented\n  ; k=also\nk2=2 ; not a comment\n");
    EXPECT_EQ(ini.Value("S", "orphan"), std::nullopt);
    EXPECT_EQ(ini.Value("S", "k"), std::nullopt);
    EXPECT_EQ(ini.Value("S", ";k"), std::nullopt);
    EXPECT_EQ(ini.Value("S", "k2"), "2 ; not a comment");
}

TEST(IniFileValue, LineEndsOfEveryKindGiveTheSameValues) {
    for (const std::string end : {"\r\n", "\n", "\r\r\n"}) {
        const IniFile ini("[S]" + end + "k=v" + end + "[T]" + end + "x=y");
        EXPECT_EQ(ini.Value("S", "k"), "v") << "line end of " << end.size() << " bytes";
        EXPECT_EQ(ini.Value("T", "x"), "y");
    }
}

TEST(IniFileValue, ByteOrderMarkDoesNotHideTheFirstSection) {
    const IniFile ini("\xEF\xBB\xBF[Data]\r\nFrequency=30\r\n");
    EXPECT_EQ(ini.Value("Data", "Frequency"), "30");
}

TEST(IniFileValue, SectionNameEndsAtFirstBracketOrAtLineEnd) {
    const IniFile ini("[Open\nk=1\n[Closed] trailing text\nk=2\n");
    EXPECT_EQ(ini.Value("Open", "k"), "1");
    EXPECT_EQ(ini.Value("Closed", "k"), "2");
}

// --- listing a section --------------------------------------------------------------------

TEST(IniFileEntries, GivesKeyEqualsValueInFileOrderWithoutCommentsOrBlankLines) {
    const IniFile ini(
        "[Other]\na=0\n"
        "[Base_01]\r\n"
        "Station_Saved = O \r\n"
        "; a comment\r\n"
        "\r\n"
        "Quoted=\"x\"\r\n"
        "bare line\r\n"
        "[Next]\r\nz=9\r\n");
    EXPECT_THAT(ini.Entries("base_01"),
                ElementsAre("Station_Saved=O", "Quoted=\"x\"", "bare line"));
}

TEST(IniFileEntries, MissingOrEmptySectionGivesNothing) {
    const IniFile ini("top=1\n[Empty]\n; only a comment\n[Full]\nk=v\n");
    EXPECT_THAT(ini.Entries("Missing"), IsEmpty());
    EXPECT_THAT(ini.Entries("Empty"), IsEmpty());
    EXPECT_THAT(IniFile().Entries("Full"), IsEmpty());
}

TEST(IniFileEntries, OnlyTheFirstOfDuplicateSections) {
    const IniFile ini("[S]\na=1\n[S]\nb=2\n");
    EXPECT_THAT(ini.Entries("S"), ElementsAre("a=1"));
}

// --- writing ------------------------------------------------------------------------------

TEST(IniFileSet, NewTextGetsSectionAndKeyWithCrLf) {
    IniFile ini;
    ASSERT_TRUE(ini.Set("Data", "Frequency", "60"));
    EXPECT_EQ(ini.Bytes(), "[Data]\r\nFrequency=60\r\n");
    ASSERT_TRUE(ini.Set("Data", "Last_Timing", "07/12/2026 09:05:07"));
    ASSERT_TRUE(ini.Set("Folder", "Source", "//srv/data/"));
    EXPECT_EQ(ini.Bytes(),
              "[Data]\r\nFrequency=60\r\nLast_Timing=07/12/2026 09:05:07\r\n"
              "[Folder]\r\nSource=//srv/data/\r\n");
}

TEST(IniFileSet, ValueIsReplacedInPlaceKeepingEverythingElse) {
    const std::string before =
        "; settings\r\n[Data]\r\n  Frequency =  60   \r\nLast_Timing=x\r\n\r\n[Folder]\r\n";
    IniFile ini(before);
    ASSERT_TRUE(ini.Set("DATA", "frequency", "120"));
    EXPECT_EQ(ini.Bytes(),
              "; settings\r\n[Data]\r\n  Frequency =  120\r\nLast_Timing=x\r\n\r\n[Folder]\r\n");
    EXPECT_TRUE(OnlyOneLineChanged(before, ini.Bytes()));
    EXPECT_EQ(ini.Value("Data", "Frequency"), "120");
}

TEST(IniFileSet, NewKeyGoesAfterTheLastEntryOfItsSection) {
    const std::string before = "[A]\na=1\n; about B\n\n[B]\nb=2\n";
    IniFile ini(before);
    ASSERT_TRUE(ini.Set("a", "new", "v"));
    EXPECT_EQ(ini.Bytes(), "[A]\na=1\nnew=v\n; about B\n\n[B]\nb=2\n");
    EXPECT_TRUE(OnlyOneLineChanged(before, ini.Bytes()));
}

TEST(IniFileSet, NewSectionUsesTheLineEndOfTheText) {
    IniFile lf("[A]\na=1\n");
    ASSERT_TRUE(lf.Set("B", "b", "2"));
    EXPECT_EQ(lf.Bytes(), "[A]\na=1\n[B]\nb=2\n");

    IniFile crlf("[A]\r\na=1");  // no final line end
    ASSERT_TRUE(crlf.Set("B", "b", "2"));
    EXPECT_EQ(crlf.Bytes(), "[A]\r\na=1\r\n[B]\r\nb=2\r\n");

    IniFile lastLine("[A]\na=1");
    ASSERT_TRUE(lastLine.Set("A", "b", "2"));
    EXPECT_EQ(lastLine.Bytes(), "[A]\na=1\nb=2");
}

TEST(IniFileSet, KeepsTheCaseAlreadyInTheFileAndTrimsNewNames) {
    IniFile ini("[Data]\nFrequency=1\n");
    ASSERT_TRUE(ini.Set("DATA", "FREQUENCY", "2"));
    ASSERT_TRUE(ini.Set(" New ", " Key ", " spaced "));
    EXPECT_EQ(ini.Bytes(), "[Data]\nFrequency=2\n[New]\nKey= spaced \n");
    EXPECT_EQ(ini.Value("new", "key"), "spaced");
}

TEST(IniFileSet, KeyWithoutEqualsGetsItsValue) {
    IniFile ini("[S]\n  flag  \nnext=1\n");
    ASSERT_TRUE(ini.Set("S", "FLAG", "on"));
    EXPECT_EQ(ini.Bytes(), "[S]\n  flag=on\nnext=1\n");
}

TEST(IniFileSet, WritesIntoTheFirstOfDuplicateSections) {
    IniFile ini("[S]\na=1\n[S]\nb=2\n");
    ASSERT_TRUE(ini.Set("S", "b", "3"));
    EXPECT_EQ(ini.Bytes(), "[S]\na=1\nb=3\n[S]\nb=2\n");
    EXPECT_EQ(ini.Value("S", "b"), "3");
}

TEST(IniFileSet, ByteOrderMarkIsKept) {
    IniFile withEntries("\xEF\xBB\xBF[S]\r\nk=1\r\n");
    ASSERT_TRUE(withEntries.Set("S", "k", "2"));
    EXPECT_EQ(withEntries.Bytes(), "\xEF\xBB\xBF[S]\r\nk=2\r\n");

    IniFile markOnly("\xEF\xBB\xBF");
    ASSERT_TRUE(markOnly.Set("S", "k", "1"));
    EXPECT_EQ(markOnly.Bytes(), "\xEF\xBB\xBF[S]\r\nk=1\r\n");
}

TEST(IniFileSet, RefusesWhatWouldCorruptTheFileAndChangesNothing) {
    const std::string before = "[S]\nk=1\n";
    IniFile ini(before);
    EXPECT_FALSE(ini.Set("S", "k", "1\r\n[Evil]\r\nx=2"));
    EXPECT_FALSE(ini.Set("S", "k", "line\nbreak"));
    EXPECT_FALSE(ini.Set("S", "k", "cr\ronly"));
    EXPECT_FALSE(ini.Set("S\n[T]", "k", "v"));
    EXPECT_FALSE(ini.Set("S", "k\nx", "v"));
    EXPECT_FALSE(ini.Set("S]x", "k", "v"));
    EXPECT_FALSE(ini.Set("S", "a=b", "v"));
    EXPECT_FALSE(ini.Set("S", ";k", "v"));
    EXPECT_FALSE(ini.Set("S", "[k]", "v"));
    EXPECT_FALSE(ini.Set("  ", "k", "v"));
    EXPECT_FALSE(ini.Set("S", " ", "v"));
    EXPECT_EQ(ini.Bytes(), before);
    EXPECT_EQ(ini.Value("Evil", "x"), std::nullopt);
}

TEST(IniFileSet, AddSectionCreatesAnEmptySectionOnce) {
    IniFile ini("[A]\r\n");
    ASSERT_TRUE(ini.AddSection("B"));
    ASSERT_TRUE(ini.AddSection("b"));
    EXPECT_EQ(ini.Bytes(), "[A]\r\n[B]\r\n");
    EXPECT_TRUE(ini.HasSection("B"));
    EXPECT_FALSE(ini.AddSection("bad]name"));
}

// --- hostile input ------------------------------------------------------------------------

TEST(IniFileRobustness, OneMebibyteLineIsReadAndKeptWhole) {
    const std::string longValue(1 << 20, 'x');
    const std::string before = "[S]\r\nlong=" + longValue + "\r\nk=1\r\n";
    IniFile ini(before);
    EXPECT_EQ(ini.Value("S", "long")->size(), longValue.size());
    ASSERT_TRUE(ini.Set("S", "k", "2"));
    EXPECT_TRUE(OnlyOneLineChanged(before, ini.Bytes()));
    EXPECT_EQ(ini.Value("S", "long"), longValue);
}

TEST(IniFileRobustness, BinaryGarbageNeverBreaksReadingOrWriting) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200; ++round) {
        std::string garbage(static_cast<std::size_t>(round * 37 % 3000), '\0');
        for (char& c : garbage) {
            c = static_cast<char>(byte(random));
        }
        IniFile ini(garbage);
        (void)ini.Value("Data", "Frequency");
        (void)ini.Entries("Data");
        ASSERT_TRUE(ini.Set("Data", "Frequency", "60"));
        EXPECT_EQ(ini.Value("Data", "Frequency"), "60") << "round " << round;
        EXPECT_TRUE(OnlyOneLineChanged(garbage, ini.Bytes())) << "round " << round;
    }
}

}  // namespace
}  // namespace ks
