#include "core/db/record_buffer.h"

#include <gtest/gtest.h>

#include "core/base/failure.h"

namespace ks {
namespace {

TEST(RecordBufferTest, OneBufferPerSupportedFileOfTheRecordLength) {
    RecordBuffers buffers;
    ASSERT_NE(buffers.Find(22), nullptr);
    EXPECT_EQ(buffers.Find(22)->Size(), 900U);
    EXPECT_EQ(buffers.Find(49)->Size(), 450U);
    EXPECT_EQ(buffers.Find(47)->Size(), 4082U);
    EXPECT_EQ(buffers.Find(40), nullptr);
    EXPECT_EQ(buffers.Find(61), nullptr);
    EXPECT_EQ(buffers.Find(-1), nullptr);
    EXPECT_THROW(buffers.At(40), Failure);
    EXPECT_EQ(&buffers.At(35), buffers.Find(35));
}

TEST(RecordBufferTest, BytesOfNoFieldAreZeroedAndFieldBytesKept) {
    RecordBuffers buffers;
    for (int file : {17, 35, 49, 26, 22}) {
        SCOPED_TRACE(file);
        RecordBuffer& record = buffers.At(file);
        std::fill_n(record.Data(), record.Size(), std::uint8_t{0xFF});
        record.ZeroUnownedBytes();
        std::vector<bool> owned(record.Size(), false);
        for (const LayoutField& field : ExpandLayout(record.Layout())) {
            for (std::size_t i = 0; i < field.width; ++i) {
                owned[field.position - 1U + i] = true;
            }
        }
        for (std::size_t i = 0; i < record.Size(); ++i) {
            EXPECT_EQ(record.Data()[i], owned[i] ? 0xFF : 0x00) << "byte " << i + 1;
        }
    }
    // Spot checks of the gaps: file 17 position 316, file 35 position 272, file 49 441-450.
    EXPECT_EQ(buffers.At(17).Data()[315], 0);
    EXPECT_EQ(buffers.At(35).Data()[271], 0);
    EXPECT_EQ(buffers.At(49).Data()[440], 0);
    EXPECT_EQ(buffers.At(49).Data()[449], 0);
    EXPECT_EQ(buffers.At(49).Data()[439], 0xFF);
}

TEST(RecordBufferTest, TextFieldsArePaddedOrCut) {
    RecordBuffers buffers;
    RecordBuffer& record = buffers.At(22);
    record.SetText({24, 40}, "Titre");
    EXPECT_EQ(record.Text({24, 40}), "Titre" + std::string(35, ' '));
    record.SetText({1, 8}, "ABCDEFGHIJ");
    EXPECT_EQ(record.Text({1, 8}), "ABCDEFGH");
    EXPECT_EQ(record.Text({9, 1}), std::string(1, '\0'));  // the neighbour is untouched
}

TEST(RecordBufferTest, FieldsOutsideTheRecordAreRefused) {
    RecordBuffers buffers;
    RecordBuffer& record = buffers.At(27);
    EXPECT_THROW(record.Text({50, 2}), Failure);
    EXPECT_THROW(record.Text({0, 1}), Failure);
    EXPECT_THROW(record.SetInt32(48, 1), Failure);
    EXPECT_NO_THROW(record.Text({50, 1}));
}

TEST(RecordBufferTest, NumbersAreLittleEndian) {
    RecordBuffers buffers;
    RecordBuffer& record = buffers.At(30);
    record.SetInt16(9, 600);
    EXPECT_EQ(record.Data()[8], 0x58);
    EXPECT_EQ(record.Data()[9], 0x02);
    EXPECT_EQ(record.Int16(9), 600);
    record.SetInt16(9, -2);
    EXPECT_EQ(record.Int16(9), -2);
    RecordBuffer& songs = buffers.At(37);
    songs.SetInt32(33, -123456);
    EXPECT_EQ(songs.Int32(33), -123456);
    EXPECT_EQ(songs.Data()[32], 0xC0);
}

}  // namespace
}  // namespace ks
