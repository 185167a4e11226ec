// Keys longer than a position block holds keep their position as shorter keys do: through an
// update of the record by another block and a deletion by another process. Each case runs
// with an 80-byte key (held whole by the block) and a 120-byte key that differs only past
// what the block holds, and both must answer alike.
#include <gtest/gtest.h>

#include "durability_support.h"
#include "engine/long_key_memory.h"
#include "engine/record_engine.h"
#include "support/temp_dir.h"
#include "table_client.h"

namespace ks::engine::test {
namespace {

constexpr std::uint16_t kLength = 130;
constexpr std::size_t kTagAt = 125;

class LongKey : public ::testing::TestWithParam<std::uint16_t> {
  protected:
    void SetUp() override {
        path = dir.Folder() + "FDATA31.bt6";
        const std::string shape = SpecBuffer(
            kLength, 1024, 1, {{1, KeyLength(), key_flag::kDuplicates | key_flag::kModifiable}});
        ASSERT_EQ(first.Create(path, shape), 0);
    }

    // Three records through the first open; the second open sits on the middle one.
    void Fill() {
        ASSERT_EQ(first.Open(path), 0);
        ASSERT_EQ(second.Open(path), 0);
        for (const auto& [order, tag] : {std::pair{'1', 'a'}, {'2', 'b'}, {'3', 'c'}}) {
            ASSERT_EQ(first.Insert(Rec(order, tag)), 0);
        }
        ASSERT_EQ(second.Get(op::kGetEqual, KeyOf('2'), 0), 0);
    }

    std::uint16_t KeyLength() const { return GetParam(); }

    // The key orders by its tenth byte from the end, past the block's room in a long key.
    std::string Rec(char order, char tag) const {
        std::string record(kLength, 'k');
        record[KeyLength() - 10U] = order;
        record[kTagAt] = tag;
        return record;
    }
    std::string KeyOf(char order) const { return Rec(order, ' ').substr(0, KeyLength()); }

    // The tag of the record a step of `client` reads, or the status as text.
    static std::string StepTag(TableClient& client, std::uint16_t operation) {
        const auto result = client.Step(operation, 0);
        return result == 0 ? std::string(1, client.Record()[kTagAt]) : std::to_string(result);
    }

    ks::test::TempDir dir;
    std::string path;
    RecordEngine engine{FastOptions()};
    TableClient first{engine};
    TableClient second{engine};
};

TEST_P(LongKey, AnUpdateThroughAnotherBlockDoesNotMoveThisOne) {
    ASSERT_NO_FATAL_FAILURE(Fill());
    const auto onB = second.block;
    ASSERT_EQ(first.Get(op::kGetEqual, KeyOf('2'), 0), 0);
    ASSERT_EQ(first.Update(Rec('4', 'b')), 0);
    EXPECT_EQ(StepTag(second, op::kGetNext), "c");
    EXPECT_EQ(StepTag(second, op::kGetNext), "b");
    EXPECT_EQ(StepTag(second, op::kGetNext), "9");

    second.block = onB;
    ASSERT_EQ(first.Get(op::kGetEqual, KeyOf('3'), 0), 0);
    ASSERT_EQ(first.Update(Rec('0', 'c')), 0);
    EXPECT_EQ(StepTag(second, op::kGetPrevious), "a");
    EXPECT_EQ(StepTag(second, op::kGetPrevious), "c");
}

TEST_P(LongKey, ARecordDeletedByAnotherProcessKeepsThePosition) {
    // Started before this process opens the table (see transaction_lock_test.cpp).
    ks::test::durability::Child other([&](int channel, int) {
        std::int32_t go = 0;
        if (!ks::test::durability::Receive(channel, go, 20000)) {
            return 10;
        }
        RecordEngine otherEngine(FastOptions());
        TableClient remover(otherEngine);
        if (remover.Open(path) != 0 || remover.Get(op::kGetEqual, KeyOf('2'), 0) != 0) {
            return 11;
        }
        return remover.Delete() == 0 && remover.Close() == 0 ? 0 : 12;
    });
    ASSERT_NO_FATAL_FAILURE(Fill());
    const auto onB = second.block;
    // The bundle holding the inserts is committed first, so the other process sees them.
    ASSERT_EQ(first.Do(op::kBeginTransaction), 0);
    ASSERT_EQ(first.Do(op::kEndTransaction), 0);
    other.Send(1);
    ASSERT_EQ(other.Wait(), 0);
    EXPECT_EQ(StepTag(second, op::kGetNext), "c");
    second.block = onB;
    EXPECT_EQ(StepTag(second, op::kGetPrevious), "a");
    second.block = onB;
    EXPECT_EQ(second.Delete(), status::kInvalidPositioning);
}

TEST_P(LongKey, ABlockWhoseKeyTheEngineNoLongerRemembersGoesOnFromItsRecord) {
    ASSERT_NO_FATAL_FAILURE(Fill());
    const auto onB = second.block;
    // Reads through copies of the block, each remembering a key, until the original's key is
    // forgotten (the memory of an open file holds the most recent keys only).
    for (std::size_t i = 0; i <= LongKeyMemory::kCapacity; ++i) {
        second.block = onB;
        ASSERT_EQ(StepTag(second, op::kGetPrevious), "a");
    }
    second.block = onB;
    EXPECT_EQ(StepTag(second, op::kGetNext), "c");
}

std::string KeyLengthName(const ::testing::TestParamInfo<std::uint16_t>& length) {
    return "Key" + std::to_string(length.param);
}

INSTANTIATE_TEST_SUITE_P(HeldWholeAndCut, LongKey, ::testing::Values(80, 120), KeyLengthName);

}  // namespace
}  // namespace ks::engine::test
