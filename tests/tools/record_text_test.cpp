// The table tool's text forms: records escaped one per line, keys described on the command
// line.
#include <gtest/gtest.h>

#include "ks-table/key_description.h"
#include "ks-table/record_escape.h"
#include "ks/engine/btr_codes.h"

namespace ks::engine::tool {
namespace {

TEST(RecordEscape, PrintableBytesStayAndTheRestIsWrittenInHex) {
    EXPECT_EQ(EscapeRecord("Abc 09~"), "Abc 09~");
    EXPECT_EQ(EscapeRecord("a\\b"), "a\\\\b");
    EXPECT_EQ(EscapeRecord(std::string("\0\n\x7F\x80\xE9\xFF", 6)),
              "\\x00\\x0A\\x7F\\x80\\xE9\\xFF");
    EXPECT_EQ(EscapeRecord("\\x41"), "\\\\x41") << "a written backslash is never read as an escape";
}

TEST(RecordEscape, EveryByteComesBack) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    all += "\\\\x00\\";
    const auto back = UnescapeRecord(EscapeRecord(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
    EXPECT_EQ(EscapeRecord(all).find_first_of("\r\n"), std::string::npos);
}

TEST(RecordEscape, MalformedEscapesAreRefused) {
    EXPECT_EQ(UnescapeRecord("\\x4"), std::nullopt);
    EXPECT_EQ(UnescapeRecord("\\xG0"), std::nullopt);
    EXPECT_EQ(UnescapeRecord("abc\\"), std::nullopt);
    EXPECT_EQ(UnescapeRecord("\\n"), std::nullopt);
    EXPECT_EQ(UnescapeRecord("\\x4a\\x4A"), std::optional<std::string>("JJ"));
}

TEST(KeyDescription, SegmentsAndFlags) {
    KeyDef key;
    std::string error;
    ASSERT_TRUE(ParseKeyDescription("9:5:dup,mod+51:20:nocase", key, error)) << error;
    ASSERT_EQ(key.segments.size(), 2U);
    EXPECT_EQ(key.segments[0].position, 9);
    EXPECT_EQ(key.segments[0].length, 5);
    EXPECT_EQ(key.segments[0].flags,
              key_flag::kDuplicates | key_flag::kModifiable | key_flag::kSegmented);
    EXPECT_EQ(key.segments[1].flags,
              key_flag::kDuplicates | key_flag::kModifiable | key_flag::kCaseInsensitive)
        << "dup and mod hold for every segment, nocase for its own";
    EXPECT_EQ(FormatKeyDescription(key), "9:5:dup,mod+51:20:dup,mod,nocase");
    ASSERT_TRUE(ParseKeyDescription("1:8", key, error));
    EXPECT_EQ(key.segments[0].flags, 0);
    EXPECT_EQ(FormatKeyDescription(key), "1:8");
}

TEST(KeyDescription, MalformedDescriptionsSayWhy) {
    KeyDef key;
    std::string error;
    for (const char* bad :
         {"", "1", "0:5", "1:0", "1:5:dup:mod", "1:5+", "a:5", "1:5:upper", "1:70000"}) {
        EXPECT_FALSE(ParseKeyDescription(bad, key, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_FALSE(ParseKeyDescription("1:5:upper", key, error));
    EXPECT_NE(error.find("upper"), std::string::npos);
}

}  // namespace
}  // namespace ks::engine::tool
