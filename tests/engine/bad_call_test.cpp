// Calls with missing or short buffers: each is refused with its status, the data length is
// left as passed, and no byte outside the buffers is read or written. The buffers are
// allocated at their exact size, so that the sanitizer build sees any access past them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/record_engine.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::test {
namespace {

constexpr std::uint16_t kLength = 20;

std::string Shape() {
    return SpecBuffer(kLength, 1024, 1, {{1, 8, key_flag::kModifiable}});
}

// The caller's three buffers, each on the heap at exactly the size the call is told.
struct ExactBuffers {
    std::unique_ptr<std::uint8_t[]> block = std::make_unique<std::uint8_t[]>(kPositionBlockSize);
    std::unique_ptr<std::uint8_t[]> key = std::make_unique<std::uint8_t[]>(kKeyBufferSize);
    std::unique_ptr<std::uint8_t[]> data = std::make_unique<std::uint8_t[]>(kLength);

    // A path filling the whole key buffer, with no byte 0 after it.
    void SetFullPath(const std::string& path) {
        ASSERT_EQ(path.size(), kKeyBufferSize);
        std::memcpy(key.get(), path.data(), kKeyBufferSize);
    }
};

// A path of exactly the key buffer's size in `folder`.
std::string FullLengthPath(const std::string& folder) {
    std::string path = folder + std::string(kKeyBufferSize - folder.size() - 4, 'n') + ".bt6";
    return path;
}

class BadCall : public ::testing::Test {
  protected:
    void SetUp() override {
        path = dir.Folder() + "FDATA30.bt6";
        ASSERT_EQ(table.Create(path, Shape()), 0);
        ASSERT_EQ(table.Open(path), 0);
        ASSERT_EQ(table.Insert(std::string(kLength, 'A')), 0);
    }

    std::int16_t Call(std::uint16_t operation, void* data, std::uint8_t keyLength,
                      std::uint8_t* block = nullptr, void* key = nullptr) {
        return engine.Call(operation, block == nullptr ? table.block.data() : block, data, length,
                           key == nullptr ? table.key.data() : key, keyLength, 0);
    }

    ks::test::TempDir dir;
    std::string path;
    RecordEngine engine{FastOptions()};
    TableClient table{engine};
    std::uint32_t length = 0;
};

TEST_F(BadCall, AMissingOrEmptyDataBufferIsRefusedWithTwentyTwo) {
    for (const std::uint16_t operation : {op::kInsert, op::kUpdate}) {
        length = kLength;
        EXPECT_EQ(Call(operation, nullptr, 255), status::kDataBufferTooShort) << operation;
        EXPECT_EQ(length, kLength) << "the data length is left as passed";
        length = 0;
        EXPECT_EQ(Call(operation, table.data.data(), 255), status::kDataBufferTooShort);
    }
    for (const std::uint16_t operation :
         {op::kGetFirst, op::kGetLast, op::kGetEqual, op::kGetGreaterOrEqual, op::kStat}) {
        length = 4096;
        EXPECT_EQ(Call(operation, nullptr, 255), status::kDataBufferTooShort) << operation;
        EXPECT_EQ(length, 4096U);
        length = 0;
        std::uint8_t none = 0;
        EXPECT_EQ(Call(operation, &none, 255), status::kDataBufferTooShort) << operation;
        EXPECT_EQ(length, 0U);
    }
    TableClient creator(engine);
    creator.SetKey(dir.Folder() + "FDATA31.bt6");
    length = 160;
    EXPECT_EQ(
        engine.Call(op::kCreate, creator.block.data(), nullptr, length, creator.key.data(), 255, 0),
        status::kDataBufferTooShort);
    EXPECT_EQ(table.Step(op::kGetFirst, 0), 0) << "the file is still there, whole";
    EXPECT_EQ(table.Record(), std::string(kLength, 'A'));
}

TEST_F(BadCall, AMissingOrShortKeyBufferIsRefusedWithoutWritingIntoIt) {
    auto exact = std::make_unique<std::uint8_t[]>(7);  // one byte shorter than the key
    std::memset(exact.get(), 'A', 7);
    for (const std::uint16_t operation :
         {op::kGetEqual, op::kGetFirst, op::kGetLast, op::kGetGreater, op::kInsert}) {
        length = kLength;
        std::memcpy(table.data.data(), std::string(kLength, 'B').data(), kLength);
        EXPECT_EQ(engine.Call(operation, table.block.data(), table.data.data(), length, exact.get(),
                              7, 0),
                  status::kKeyBufferTooShort)
            << operation;
        EXPECT_EQ(
            engine.Call(operation, table.block.data(), table.data.data(), length, nullptr, 255, 0),
            status::kKeyBufferTooShort)
            << operation;
        length = kLength;
        EXPECT_EQ(Call(operation, table.data.data(), 0), status::kKeyBufferTooShort) << operation;
    }
    EXPECT_EQ(table.Get(op::kGetEqual, std::string(8, 'B'), 0), status::kKeyNotFound)
        << "the refused insert stored nothing";
    TableClient closed(engine);
    length = 0;
    EXPECT_EQ(engine.Call(op::kOpen, closed.block.data(), nullptr, length, nullptr, 255, 0),
              status::kInvalidFileName);
}

TEST_F(BadCall, AMissingPositionBlockAnswersThree) {
    for (const std::uint16_t operation : {op::kClose, op::kInsert, op::kUpdate, op::kDelete,
                                          op::kGetEqual, op::kGetNext, op::kGetFirst, op::kStat}) {
        length = kLength;
        EXPECT_EQ(
            engine.Call(operation, nullptr, table.data.data(), length, table.key.data(), 255, 0),
            status::kFileNotOpen)
            << operation;
    }
}

TEST_F(BadCall, APathFillingTheWholeKeyBufferWithoutAByteZeroIsUsedWhole) {
    const std::string full = FullLengthPath(dir.Folder());
    ExactBuffers buffers;
    buffers.SetFullPath(full);
    length = 0;
    EXPECT_EQ(engine.Call(op::kOpen, buffers.block.get(), buffers.data.get(), length,
                          buffers.key.get(), 0, 0),
              status::kFileNotFound);
    const std::string shape = Shape();
    auto createBuffer = std::make_unique<std::uint8_t[]>(shape.size());
    std::memcpy(createBuffer.get(), shape.data(), shape.size());
    length = static_cast<std::uint32_t>(shape.size());
    ASSERT_EQ(engine.Call(op::kCreate, buffers.block.get(), createBuffer.get(), length,
                          buffers.key.get(), 255, 0),
              0);
    EXPECT_TRUE(std::filesystem::exists(full));
    length = 0;
    for (const std::uint8_t keyLength : {std::uint8_t{0}, std::uint8_t{255}}) {
        buffers.SetFullPath(full);
        ASSERT_EQ(engine.Call(op::kOpen, buffers.block.get(), buffers.data.get(), length,
                              buffers.key.get(), keyLength, 0),
                  0)
            << int{keyLength};
        EXPECT_EQ(engine.Call(op::kClose, buffers.block.get(), buffers.data.get(), length,
                              buffers.key.get(), 255, 0),
                  0);
    }
}

TEST_F(BadCall, StopTwiceAnswersZeroAndLeavesNothingOpen) {
    EXPECT_EQ(table.Do(op::kStop), 0);
    EXPECT_EQ(table.Do(op::kStop), 0);
    EXPECT_EQ(table.Step(op::kGetFirst, 0), status::kFileNotOpen);
}

}  // namespace
}  // namespace ks::engine::test
