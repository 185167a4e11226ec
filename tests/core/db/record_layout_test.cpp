#include "core/db/record_layout.h"

#include <gtest/gtest.h>

#include <set>

#include "core/db/catalogue.h"
#include "core/db/record_buffer.h"
#include "core/db/record_fields.h"

namespace ks {
namespace {

const LayoutField* FieldAt(const std::vector<LayoutField>& fields, std::uint16_t position) {
    for (const LayoutField& field : fields) {
        if (field.position == position) {
            return &field;
        }
    }
    return nullptr;
}

std::vector<LayoutField> FieldsOf(int file) {
    const RecordLayout* layout = FindRecordLayout(file);
    return layout == nullptr ? std::vector<LayoutField>{} : ExpandLayout(*layout);
}

TEST(RecordLayoutTest, SupportedFilesAreExactlyThoseWithABuffer) {
    std::set<int> files;
    for (const RecordLayout& layout : RecordLayouts()) {
        files.insert(layout.file);
    }
    std::set<int> expected{0, 9, 17, 47, 48, 49, 53};
    for (int file = 20; file <= 37; ++file) {
        expected.insert(file);
    }
    EXPECT_EQ(files, expected);
    EXPECT_EQ(FindRecordLayout(40), nullptr);
    EXPECT_EQ(FindRecordLayout(19), nullptr);
}

TEST(RecordLayoutTest, RecordLengthsAgreeWithTheCatalogue) {
    CatalogueTable catalogue;
    InitGeneralData(catalogue);
    for (const RecordLayout& layout : RecordLayouts()) {
        EXPECT_EQ(layout.recordLength,
                  catalogue[static_cast<std::size_t>(layout.file)].LongueurEnreg)
            << "file " << layout.file;
    }
}

// A transcription slip in a layout (a wrong position or width) shows as two fields that
// overlap, or as a field that is not the last one running past the record.
TEST(RecordLayoutTest, FieldsFollowEachOtherWithoutOverlap) {
    for (const RecordLayout& layout : RecordLayouts()) {
        SCOPED_TRACE(layout.file);
        const auto fields = ExpandLayout(layout);
        ASSERT_FALSE(fields.empty());
        EXPECT_EQ(fields.front().position, 1);
        for (std::size_t i = 1; i < fields.size(); ++i) {
            EXPECT_GE(fields[i].position, fields[i - 1].position + fields[i - 1].width)
                << "field at " << fields[i].position;
        }
        const LayoutField& last = fields.back();
        EXPECT_LE(last.position + last.width - 1, layout.recordLength);
    }
}

TEST(RecordLayoutTest, LastFieldsRunningPastTheRecordAreCut) {
    EXPECT_EQ(FieldsOf(35).back().position, 382);
    EXPECT_EQ(FieldsOf(35).back().width, 19);
    EXPECT_EQ(FieldsOf(47).back().width, 34);
    EXPECT_EQ(FieldsOf(17).back().width, 210);
    EXPECT_EQ(FieldsOf(53).back().width, 108);
    EXPECT_EQ(FieldsOf(37).back().width, 376);
}

TEST(RecordLayoutTest, File49FieldsEndAt440) {
    const auto fields = FieldsOf(49);
    const LayoutField& last = fields.back();
    EXPECT_EQ(last.position + last.width - 1, 440);
    EXPECT_EQ(fields.size(), 1U + 192U + 24U + 1U + 1U + 6U);
}

TEST(RecordLayoutTest, SettingsGroupIsUnrolledFiveTimes) {
    const auto fields = FieldsOf(0);
    // Each 36-byte block: T2, T1 x 7, T11, N8 x 2; the fifth block ends at 240.
    const LayoutField* fifthNumber = FieldAt(fields, 61 + 4 * 36 + 28);
    ASSERT_NE(fifthNumber, nullptr);
    EXPECT_EQ(fifthNumber->kind, FieldKind::Number);
    EXPECT_EQ(fifthNumber->width, 8);
    EXPECT_NE(FieldAt(fields, 241), nullptr);
    EXPECT_EQ(fields.size(), 2U + 1U + 1U + 5U * 11U + 1U);
    EXPECT_EQ(FieldsOf(9).size(), fields.size());
}

TEST(RecordLayoutTest, FieldsTheLoaderUsesAreFieldsOfTheLayout) {
    struct Expectation {
        int file;
        FieldRef field;
    };
    using namespace fields;
    const std::vector<Expectation> single = {
        {35, fdat035::kElementType}, {35, fdat035::kSongId},      {35, fdat035::kDate},
        {53, fdat053::kElementType}, {53, fdat053::kSongId},      {53, fdat053::kDate},
        {22, fdat022::kSongId},      {22, fdat022::kFirstArtist}, {22, fdat022::kSecondArtist},
        {22, fdat022::kTitle},       {22, fdat022::kCategory},    {22, fdat022::kFlagJ},
        {22, fdat022::kFlagsF},      {22, fdat022::kNumberG},     {22, fdat022::kFlagH},
        {20, fdat020::kArtistCode},  {20, fdat020::kName},        {20, fdat020::kFlagA},
        {20, fdat020::kFlagB},       {21, fdat021::kName},        {24, fdat024::kSongId},
        {26, fdat026::kSongId},      {29, fdat029::kSongId},      {31, fdat031::kSongId},
        {32, fdat032::kSongId},      {27, fdat027::kSongId},      {35, fdat035::kHour},
        {53, fdat053::kSecond},
    };
    for (const Expectation& e : single) {
        SCOPED_TRACE(testing::Message() << "file " << e.file << " position " << e.field.position);
        const auto fields = FieldsOf(e.file);
        const LayoutField* field = FieldAt(fields, e.field.position);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->kind, FieldKind::Text);
        EXPECT_EQ(field->width, e.field.width);
    }
    const auto clockFields = FieldsOf(30);
    const LayoutField* counter = FieldAt(clockFields, fdat030::kCounterPosition);
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->kind, FieldKind::Number);
    EXPECT_EQ(counter->width, 2);
}

}  // namespace
}  // namespace ks
