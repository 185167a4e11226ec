#include "platform/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace ks {
namespace {

TEST(Cp1252Test, EveryByteSurvivesARoundTripThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string utf8 = Cp1252ToUtf8(all);
    const auto back = TryUtf8ToCp1252(utf8);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
}

TEST(Cp1252Test, HighBytesMapToTheirWindowsCharacters) {
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "€");
    EXPECT_EQ(Cp1252ToUtf8("\x9c"), "œ");
    EXPECT_EQ(Cp1252ToUtf8("\xe9"), "é");
    EXPECT_EQ(Cp1252ToUtf8("\xa0"), "\u00a0");
    // Undefined bytes become the C1 control of the same value rather than being lost.
    EXPECT_EQ(Cp1252ToUtf8("\x81"), "\u0081");
    EXPECT_EQ("Répertoire €"_cp, "R\xe9pertoire \x80");
}

TEST(Cp1252Test, CharactersOutsideWindows1252AreRefused) {
    EXPECT_FALSE(TryUtf8ToCp1252("a→b").has_value());
    EXPECT_FALSE(TryUtf8ToCp1252("中").has_value());
    EXPECT_FALSE(TryUtf8ToCp1252("\U0001F600").has_value());
    EXPECT_EQ(Utf8ToCp1252("a→b"), "a?b");
    EXPECT_EQ(Utf8ToCp1252("\U0001F600!"), "?!");
}

TEST(Cp1252Test, MalformedUtf8IsRefused) {
    EXPECT_FALSE(TryUtf8ToCp1252("\x80").has_value());   // lone continuation byte
    EXPECT_FALSE(TryUtf8ToCp1252("a\xc3").has_value());  // cut sequence
    EXPECT_FALSE(TryUtf8ToCp1252("\xc3(").has_value());  // bad continuation
    EXPECT_FALSE(TryUtf8ToCp1252("\xff").has_value());   // never a lead byte
    EXPECT_EQ(Utf8ToCp1252("a\xc3"), "a?");
}

TEST(Cp1252Test, OverlongFormsAndSurrogatesAreRefused) {
    // "\xC0\xAF" would read as "/", "\xC0\x80" as NUL: a listed file name must never hold them.
    EXPECT_FALSE(TryUtf8ToCp1252("a\xc0\xaf").has_value());
    EXPECT_FALSE(TryUtf8ToCp1252("\xc0\x80").has_value());
    EXPECT_FALSE(TryUtf8ToCp1252("\xe0\x83\xa9").has_value());      // é on three bytes
    EXPECT_FALSE(TryUtf8ToCp1252("\xf0\x82\x82\xac").has_value());  // € on four bytes
    EXPECT_FALSE(TryUtf8ToCp1252("\xed\xa0\x80").has_value());      // surrogate half
    EXPECT_EQ(Utf8ToCp1252("\xc0\xaf"), "?");
}

}  // namespace
}  // namespace ks
