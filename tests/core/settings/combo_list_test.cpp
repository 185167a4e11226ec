#include "core/settings/combo_list.h"

#include <gtest/gtest.h>

#include "core/base/failure.h"
#include "core/settings/frequency_lines.h"
#include "core/settings/whole_number.h"

namespace ks {
namespace {

ComboList ThreeLines() {
    ComboList list;
    list.AddItem("Station 01");
    list.AddItem("Station 02");
    list.AddItem("Station 03");
    return list;
}

TEST(ComboListTest, SelectionWithinTheListAndNone) {
    ComboList list = ThreeLines();
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.Text(), "");
    list.SetListIndex(2);
    EXPECT_EQ(list.Text(), "Station 03");
    list.SetListIndex(-1);
    EXPECT_EQ(list.ListIndex(), -1);
}

TEST(ComboListTest, IndexTheListCannotTakeFailsAndKeepsTheSelection) {
    ComboList list = ThreeLines();
    list.SetListIndex(1);
    for (const std::int32_t bad : {3, 10, -2, -32768}) {
        try {
            list.SetListIndex(bad);
            ADD_FAILURE() << "index " << bad << " was taken";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), kErrInvalidPropertyValue);
        }
        EXPECT_EQ(list.ListIndex(), 1);
    }
}

TEST(ComboListTest, ClearingDropsTheSelection) {
    ComboList list = ThreeLines();
    list.SetListIndex(2);
    list.Clear();
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_THROW(list.SetListIndex(0), Failure);
}

TEST(FrequencyLinesTest, UnusableIndexGivesThirtyMinutes) {
    EXPECT_EQ(PeriodeMinutes(0), 15);
    EXPECT_EQ(PeriodeMinutes(6), 240);
    EXPECT_EQ(PeriodeMinutes(-1), 30);
    EXPECT_EQ(PeriodeMinutes(7), 30);
}

TEST(WholeNumberTest, LeadingNumberRoundedHalfToEven) {
    EXPECT_EQ(ValToInt16("3"), 3);
    EXPECT_EQ(ValToInt16("2abc"), 2);
    EXPECT_EQ(ValToInt16("abc"), 0);
    EXPECT_EQ(ValToInt16(""), 0);
    EXPECT_EQ(ValToInt16("-1"), -1);
    EXPECT_EQ(ValToInt16("1.5"), 2);
    EXPECT_EQ(ValToInt16("2.5"), 2);
    EXPECT_EQ(ValToInt32("-25000"), -25000);
}

TEST(WholeNumberTest, NumberThatDoesNotFitIsAnOverflow) {
    EXPECT_EQ(ValToInt16("32767"), 32767);
    EXPECT_EQ(ValToInt16("-32768"), -32768);
    for (const char* text : {"32768", "-32769", "1e300"}) {
        try {
            ValToInt16(text);
            ADD_FAILURE() << text << " fitted";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), kErrOverflow);
        }
    }
    EXPECT_THROW(ValToInt32("3000000000"), Failure);
}

}  // namespace
}  // namespace ks
