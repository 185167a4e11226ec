#include "core/sys/text_helpers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "platform/cp1252.h"
#include "support/fake_event_pump.h"
#include "support/recording_trace.h"

namespace ks {
namespace {

// A handler wired to a recording trace, to see which failures the helpers report.
struct ReportingHarness {
    ReportingHarness() { handler.SetTrace(&trace); }

    TraceState state;
    test::FakeEventPump pump;
    test::RecordingTrace trace;
    ErrorHandler handler{state, pump};
};

TEST(N2STest, PadsOnTheLeftWithTheFill) {
    EXPECT_EQ(N2S(7, 2, 0, "0"), "07");
    EXPECT_EQ(N2S(42, 3, 0, "0"), "042");
    EXPECT_EQ(N2S(1234, 5, 0, " "), " 1234");
    EXPECT_EQ(N2S(0, 3, 0, "0"), "000");
    EXPECT_EQ(N2S(5, 3, 0, ""), "  5");    // empty fill means a blank
    EXPECT_EQ(N2S(5, 3, 0, "*#"), "**5");  // only the first character counts
}

TEST(N2STest, CutsOnTheLeftWhenTooLong) {
    EXPECT_EQ(N2S(12345, 3, 0, "0"), "345");
    EXPECT_EQ(N2S(20261207, 4, 0, "0"), "1207");
    EXPECT_EQ(N2S(5, 0, 0, "0"), "");
}

TEST(N2STest, WritesDecimalsWithAPointAndALeadingZero) {
    EXPECT_EQ(N2S(0.5, 5, 2, " "), " 0.50");
    EXPECT_EQ(N2S(3, 4, 1, "0"), "03.0");
    EXPECT_EQ(N2S(12.5, 6, 2, " "), " 12.50");
    // The fraction's own blanks become zeros: 0.04 is not " . 4".
    EXPECT_EQ(N2S(0.04, 5, 2, " "), " 0.04");
    // The point takes the first character of the field: the text keeps its width.
    EXPECT_EQ(N2S(1.5, 3, 1, " "), "1.5");
    EXPECT_EQ(N2S(0.5, 3, 2, " "), ".50");  // no room for the zero before the point
}

// The scaled value is rounded half to even after adding 0.005; these inputs land exactly on a
// half once scaled in binary, where rounding half away from zero gives a different digit.
TEST(N2STest, RoundsExactHalvesToEven) {
    EXPECT_EQ(N2S(0.5, 5, 2, " "), " 0.50");  // 50.5 -> 50
    EXPECT_EQ(N2S(0, 4, 2, " "), "0.00");     // 0.5 -> 0
    EXPECT_EQ(N2S(0.495, 1, 0, "0"), "0");    // 0.5 -> 0
    EXPECT_EQ(N2S(1.495, 1, 0, "0"), "2");    // 1.5 -> 2
    EXPECT_EQ(N2S(2.495, 1, 0, "0"), "2");    // 2.5 -> 2
    EXPECT_EQ(N2S(1.245, 3, 1, " "), "1.2");  // 12.5 -> 12
    EXPECT_EQ(N2S(2.5, 1, 0, "0"), "3");      // 2.505 is not a half: -> 3
    // The added 0.005 moves a value with two decimals onto a half: the odd ones go up.
    EXPECT_EQ(N2S(12.24, 5, 2, " "), "12.24");  // 1224.5 -> 1224
    EXPECT_EQ(N2S(12.25, 5, 2, " "), "12.26");  // 1225.5 -> 1226
}

TEST(N2STest, NegativeValuesTakeTheLastBlankOrTheFirstZero) {
    EXPECT_EQ(N2S(-5, 3, 0, " "), " -5");
    EXPECT_EQ(N2S(-0.5, 5, 2, " "), "-0.50");
    EXPECT_EQ(N2S(-5, 3, 0, "0"), "-05");
    // No blank and no leading zero: the minus is put in front, one character longer.
    EXPECT_EQ(N2S(-123, 3, 0, "0"), "-123");
    EXPECT_EQ(N2S(-12345, 3, 0, "0"), "-345");
}

TEST(N2STest, SaturatesAtTheLargest32BitNumber) {
    EXPECT_EQ(N2S(1e12, 10, 0, "0"), "2147483647");
    EXPECT_EQ(N2S(1e12, 12, 0, " "), "  2147483647");
}

TEST(N2STest, AFailureIsReportedWithTheValueInTheCallerName) {
    ReportingHarness h;
    EXPECT_EQ(N2S(12.5, 2, 3, "0", &h.handler), "");  // no room for three decimals
    ASSERT_EQ(h.trace.lines.size(), 3U);
    EXPECT_NE(h.trace.lines[1].message.find("Source:Lib_Public:N2S (Value: 12.5):"),
              std::string::npos)
        << h.trace.lines[1].message;
    EXPECT_EQ(N2S(1, -1, 0, "0", &h.handler), "");
    EXPECT_EQ(h.trace.lines.size(), 6U);
}

TEST(D2STest, WritesEightDigits) {
    EXPECT_EQ(D2S(DateTime{2026, 12, 7, 9, 15, 0, 0}), "20261207");
    EXPECT_EQ(D2S(DateTime{2027, 1, 3, 0, 0, 0, 0}), "20270103");
}

TEST(Date2StringExTest, FormatsThePatternsInUse) {
    const DateTime date{2026, 3, 7, 9, 5, 4, 0};
    EXPECT_EQ(Date2StringEx(date, "dd/MM/yyyy"), "07/03/2026");
    EXPECT_EQ(Date2StringEx(date, "dd/MM"), "07/03");
    EXPECT_EQ(Date2StringEx(date, "hh:mm:ss"), "09:05:04");
    EXPECT_EQ(Date2StringEx(date, "dd/MM/yyyy hh:mm:ss"), "07/03/2026 09:05:04");
}

TEST(Date2StringExTest, MMRightAfterAnHourFieldMeansMinutes) {
    const DateTime date{2026, 3, 7, 21, 45, 59, 0};
    EXPECT_EQ(Date2StringEx(date, "HH:MM:SS"), "21:45:59");
    EXPECT_EQ(Date2StringEx(date, "MM HH:MM"), "03 21:45");
    EXPECT_EQ(Date2StringEx(date, "HH:ss MM"), "21:59 03");  // seconds end the hour field
}

TEST(Date2StringExTest, BlankPatternMeansTimeOfDay) {
    const DateTime date{2026, 3, 7, 21, 45, 59, 0};
    EXPECT_EQ(Date2StringEx(date, ""), "21:45:59");
    EXPECT_EQ(Date2StringEx(date, "   "), "21:45:59");
}

TEST(Date2StringExTest, WeeksStartOnSundayAndWeekOneHoldsTheFirstOfJanuary) {
    // 1 January 2026 is a Thursday; Sunday 4 January starts week 2.
    EXPECT_EQ(Date2StringEx(DateTime{2026, 1, 3, 0, 0, 0, 0}, "w ww"), "7 1");
    EXPECT_EQ(Date2StringEx(DateTime{2026, 1, 4, 0, 0, 0, 0}, "w ww"), "1 2");
    EXPECT_EQ(Date2StringEx(DateTime{2026, 12, 31, 0, 0, 0, 0}, "y q"), "365 4");
}

TEST(Date2StringExTest, OtherCharactersAreCopied) {
    const DateTime date{2026, 3, 7, 9, 5, 4, 0};
    EXPECT_EQ(Date2StringEx(date, "yyyy-MM-dd_T"), "2026-03-07_T");
    EXPECT_EQ(Date2StringEx(date, "\\d\"hms\"d"), "dhms7");
}

TEST(Date2StringExTest, AnImpossibleDateIsReportedAndGivesEmptyText) {
    ReportingHarness h;
    EXPECT_EQ(Date2StringEx(DateTime{2026, 2, 30, 0, 0, 0, 0}, "dd/MM", &h.handler), "");
    EXPECT_EQ(h.trace.lines.size(), 3U);
}

TEST(Tps2MinSecTest, WritesHoursMinutesSecondsOrMinutesSeconds) {
    bool withHours = true;
    EXPECT_EQ(Tps2MinSec(3725, 2, "0", "Test:Caller", withHours), " 1:02:05");
    withHours = false;
    EXPECT_EQ(Tps2MinSec(3725, 2, "0", "Test:Caller", withHours), "62:05");
    EXPECT_EQ(Tps2MinSec(65, 2, "0", "Test:Caller", withHours), "01:05");
    EXPECT_EQ(Tps2MinSec(65, 3, " ", "Test:Caller", withHours), "  1:05");
}

TEST(Tps2MinSecTest, WidensTheMinutesForLargeValues) {
    bool withHours = false;
    EXPECT_EQ(Tps2MinSec(99 * 60 + 59, 2, "0", "", withHours), "99:59");
    EXPECT_EQ(Tps2MinSec(100 * 60, 2, "0", "", withHours), "100:00");
    EXPECT_EQ(Tps2MinSec(1000 * 60, 2, "0", "", withHours), "1000:00");
    EXPECT_EQ(Tps2MinSec(10000 * 60, 2, "0", "", withHours), "10000:00");
    EXPECT_EQ(Tps2MinSec(100000 * 60 + 1, 2, "0", "", withHours), "100000:01");
    // A width other than 3 or 4 falls back to 2.
    EXPECT_EQ(Tps2MinSec(65, 7, "0", "", withHours), "01:05");
}

TEST(Tps2MinSecTest, NegativeDurationsAreWrittenAsTheyAre) {
    bool withHours = true;
    EXPECT_EQ(Tps2MinSec(-12, 2, "0", "", withHours), "-12");
}

TEST(CalibreTest, CutsOrPadsOnTheRight) {
    EXPECT_EQ(Calibre("ab", "", 4), "ab  ");
    EXPECT_EQ(Calibre("ab", "*", 4), "ab**");
    EXPECT_EQ(Calibre("abcdef", "*", 4), "abcd");
    EXPECT_EQ(Calibre("ab", " ", 0), "");
}

TEST(RemplaceChaineTest, OverwritesInPlaceWithoutChangingTheLength) {
    EXPECT_EQ(RemplaceChaine("abc", "xyz", 2, 1), "axc");
    EXPECT_EQ(RemplaceChaine("abc", "xyz", 2, 5), "axy");      // never beyond the end
    EXPECT_EQ(RemplaceChaine("abcdef", "x", 2, 3), "axcdef");  // at most the replacement
    EXPECT_EQ(RemplaceChaine("abc", "xyz", 4, 1), "abc");      // beyond the end: unchanged
    EXPECT_EQ(RemplaceChaine("abc", "xyz", 0, 1), "");
    EXPECT_EQ(RemplaceChaine("abc", "xyz", -3, 1), "");
}

TEST(ClearChaineTest, BlanksControlAndHighBytesButKeepsFrenchLetters) {
    // Windows-1252 bytes: 0xE9 is "é", 0xE7 "ç", 0xFB "û" (kept although above 250).
    const std::string text("a\0b\xe9\x1f\xfb\xfa\xfe\xe7\x7f", 10);
    EXPECT_EQ(ClearChaine(text), std::string("a b\xe9 \xfb\xfa \xe7\x7f"));
    EXPECT_EQ(ClearChaine("ééàù"_cp), "ééàù"_cp);
    EXPECT_EQ(ClearChaine("\xff"), " ");
}

TEST(EclateRepFicExtTest, SplitsFolderNameAndExtension) {
    const EclateParts parts = EclateRepFicExt("  /var/log/Histo/20261207.Log ");
    EXPECT_EQ(parts.EclateDossier, "/var/log/Histo/");
    EXPECT_EQ(parts.EclateNom, "20261207");
    EXPECT_EQ(parts.EclateExtension, ".Log");
}

TEST(EclateRepFicExtTest, APathWithoutFolderHasAnEmptyFolder) {
    EclateParts parts = EclateRepFicExt("20261207.Log");
    EXPECT_EQ(parts.EclateDossier, "");
    EXPECT_EQ(parts.EclateNom, "20261207");
    EXPECT_EQ(parts.EclateExtension, ".Log");
    parts = EclateRepFicExt("README");
    EXPECT_EQ(parts.EclateNom, "README");
    EXPECT_EQ(parts.EclateExtension, "");
}

TEST(EclateRepFicExtTest, ADotInAFolderNameIsNoExtension) {
    const EclateParts parts = EclateRepFicExt("/srv/v1.2/FDATA22");
    EXPECT_EQ(parts.EclateDossier, "/srv/v1.2/");
    EXPECT_EQ(parts.EclateNom, "FDATA22");
    EXPECT_EQ(parts.EclateExtension, "");
}

TEST(EclateRepFicExtTest, OnlyTheLastDotStartsTheExtension) {
    const EclateParts parts = EclateRepFicExt("/a/b.tar.gz");
    EXPECT_EQ(parts.EclateNom, "b.tar");
    EXPECT_EQ(parts.EclateExtension, ".gz");
    const EclateParts folder = EclateRepFicExt("/a/b/");
    EXPECT_EQ(folder.EclateDossier, "/a/b/");
    EXPECT_EQ(folder.EclateNom, "");
    EXPECT_EQ(EclateRepFicExt("").EclateDossier, "");
}

TEST(ValTest, ReadsTheLeadingNumber) {
    EXPECT_EQ(Val("12abc"), 12);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val(" 1 2 "), 12);  // blanks are ignored anywhere
    EXPECT_EQ(Val("-3.25x"), -3.25);
    EXPECT_EQ(Val("+4"), 4);
    EXPECT_EQ(Val("1e3"), 1000);
    EXPECT_EQ(Val("2e"), 2);
    EXPECT_EQ(Val(".5"), 0.5);
    EXPECT_EQ(Val("&HFF"), 255);
    EXPECT_EQ(Val("&HFFFF"), -1);
    EXPECT_EQ(Val("&O17"), 15);
    EXPECT_EQ(Val("1,5"), 1);  // the point only, whatever the locale
}

TEST(ValTest, NumbersBeyondADoubleAreZeroWhenTinyAndInfiniteWhenHuge) {
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Val("1e-400"), 0);
    EXPECT_EQ(Val("0." + std::string(400, '0') + "1"), 0);
    EXPECT_EQ(Val("-0." + std::string(400, '0') + "1x"), 0);
    EXPECT_EQ(Val("1e400"), infinity);
    EXPECT_EQ(Val("-1e400"), -infinity);
    EXPECT_EQ(Val(std::string(400, '9')), infinity);
    EXPECT_EQ(Val("1" + std::string(400, '0') + "e-5"), infinity);
    EXPECT_EQ(Val("1e-99999999999999999999999"), 0);
}

TEST(ReplaceAllTest, ReplacesLeftToRightWithoutScanningTheReplacementAgain) {
    EXPECT_EQ(ReplaceAll("a....b", "...", ""), "a.b");
    EXPECT_EQ(ReplaceAll("a. b. c", ". ", "\n "), "a\n b\n c");
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");  // nothing to look for: no endless loop
    EXPECT_EQ(ReplaceAll("", "a", "b"), "");
}

TEST(TrimTest, RemovesBlanksOnly) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");
    EXPECT_EQ(Trim("   "), "");
}

}  // namespace
}  // namespace ks
