// A long random sequence of operations on three keys, each answer compared with an in-memory
// model of the table (table_model.h) as it should behave: statuses, records, returned
// keys and the cursor's walk, duplicates and deletions included. Fixed seed: a failure repeats.
// The same sequences run on the engine in this process and through the C entry of
// libksbtr.so, which must give the same answers.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "engine/record_engine.h"
#include "support/c_entry_engine.h"
#include "support/temp_dir.h"
#include "table_client.h"
#include "table_model.h"

namespace ks::engine::test {
namespace {

constexpr std::uint16_t kLength = 12;
constexpr std::size_t kKeys = 3;

// Key 0: bytes 1-4, unique, may not change. Key 1: bytes 5-6, duplicates. Key 2: bytes 7-8
// folded, then byte 9 exact, duplicates.
std::string Shape() {
    return SpecBuffer(kLength, 512, 3,
                      {{1, 4, 0},
                       {5, 2, key_flag::kDuplicates | key_flag::kModifiable},
                       {7, 2,
                        key_flag::kDuplicates | key_flag::kModifiable | key_flag::kSegmented |
                            key_flag::kCaseInsensitive},
                       {9, 1, key_flag::kDuplicates | key_flag::kModifiable}});
}

std::string RawKey(const std::string& record, std::size_t k) {
    switch (k) {
        case 0:
            return record.substr(0, 4);
        case 1:
            return record.substr(4, 2);
        default:
            return record.substr(6, 3);
    }
}

std::string Folded(std::string key, std::size_t k) {
    if (k == 2) {
        for (std::size_t i = 0; i < 2; ++i) {
            if (key[i] >= 'a' && key[i] <= 'z') {
                key[i] = static_cast<char>(key[i] - 32);
            }
        }
    }
    return key;
}

TableModel NewModel() {
    return TableModel({false, true, true}, [](const std::string& record, std::size_t k) {
        return Folded(RawKey(record, k), k);
    });
}

// An engine to drive, by name: the C entry's is the one engine of the process, with the
// default options.
struct EngineUnderTest {
    const char* name;
    std::function<std::unique_ptr<BtrCall>()> make;
};

class RandomModel : public ::testing::TestWithParam<EngineUnderTest> {
  protected:
    void Run(std::size_t blocks);
    std::string RandomRecord() {
        std::string record(kLength, ' ');
        for (std::size_t i = 0; i < 4; ++i) {
            record[i] = Pick("aBc");
        }
        record[4] = Pick("0123");
        record[5] = Pick("xy");
        record[6] = Pick("aAbB");
        record[7] = Pick("zZ");
        record[8] = Pick("qQ");
        for (std::size_t i = 9; i < kLength; ++i) {
            record[i] = static_cast<char>(Uniform(0, 255));
        }
        return record;
    }
    char Pick(std::string_view from) {
        return from[static_cast<std::size_t>(Uniform(0, static_cast<int>(from.size()) - 1))];
    }
    int Uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }

    std::mt19937 m_random{20261208};
};

// One position block, then three opens of the table taking turns: each block keeps its own
// position while the others read, update and delete around it (the engine may keep a
// statement positioned for each block between its reads).
struct Sequence {
    std::size_t blocks;
    std::uint32_t seed;
};

TEST_P(RandomModel, TenThousandOperationsAgreeWithTheModel) {
    for (const Sequence sequence : {Sequence{1, 20261208}, Sequence{3, 20261209}}) {
        SCOPED_TRACE(sequence.blocks);
        m_random.seed(sequence.seed);
        Run(sequence.blocks);
        if (HasFatalFailure()) {
            return;
        }
    }
}

void RandomModel::Run(std::size_t blocks) {
    ks::test::TempDir dir;
    const std::unique_ptr<BtrCall> engine = GetParam().make();
    const std::string path = dir.Folder() + "random.bt6";
    std::vector<TableClient> tables(blocks, TableClient(*engine));
    ASSERT_EQ(tables[0].Create(path, Shape()), 0);
    for (auto& table : tables) {
        ASSERT_EQ(table.Open(path), 0);
    }
    std::vector<TableModel::Cursor> cursors(blocks);
    TableModel model = NewModel();
    std::map<std::string, int> counts;

    // Compares a successful read with the model's entry and moves the model's cursor there.
    auto expectRead = [&](TableClient& table, TableModel::Cursor& cursor, std::int16_t result,
                          std::optional<TableModel::Entry> entry, std::size_t k,
                          std::int16_t missing, int step) {
        if (!entry) {
            ASSERT_EQ(result, missing) << "step " << step;
            return;
        }
        ASSERT_EQ(result, 0) << "step " << step;
        const auto id = std::get<2>(*entry);
        ASSERT_EQ(table.Record(), model.Record(id)) << "step " << step;
        ASSERT_EQ(table.Key(RawKey(model.Record(id), k).size()), RawKey(model.Record(id), k))
            << "step " << step;
        cursor = model.CursorOn(id, k);
    };

    for (int step = 0; step < 10000; ++step) {
        const auto b = static_cast<std::size_t>(Uniform(0, static_cast<int>(blocks) - 1));
        TableClient& table = tables[b];
        TableModel::Cursor& cursor = cursors[b];
        const int choice = Uniform(0, 99);
        const auto k = static_cast<std::size_t>(Uniform(0, 2));
        if (choice < 25 || model.Size() < 5) {
            ++counts["insert"];
            const std::string record = RandomRecord();
            const auto result = table.Insert(record, static_cast<std::int8_t>(k));
            if (model.Collides(record, 0)) {
                ASSERT_EQ(result, status::kDuplicateKey) << "step " << step;
                continue;
            }
            ASSERT_EQ(result, 0) << "step " << step;
            cursor = model.CursorOn(model.Insert(record), k);
            ASSERT_EQ(table.Key(RawKey(record, k).size()), RawKey(record, k));
        } else if (choice < 35) {
            ++counts["update"];
            std::string record = RandomRecord();
            const bool keepKey0 = Uniform(0, 3) != 0;
            if (keepKey0 && cursor.onRecord) {
                record.replace(0, 4, RawKey(model.Record(cursor.id), 0));
            }
            const auto keyNumber = cursor.keyNumber < 0 ? 0 : cursor.keyNumber;
            const auto result = table.Update(record, static_cast<std::int8_t>(keyNumber));
            if (!cursor.onRecord) {
                ASSERT_EQ(result, status::kInvalidPositioning) << "step " << step;
            } else if (RawKey(record, 0) != RawKey(model.Record(cursor.id), 0)) {
                ASSERT_EQ(result, status::kModifiableKeyChanged) << "step " << step;
            } else {
                ASSERT_EQ(result, 0) << "step " << step;
                model.Update(cursor.id, record);
                cursor = model.CursorOn(cursor.id, static_cast<std::size_t>(keyNumber));
            }
        } else if (choice < 45) {
            ++counts["delete"];
            const auto result = table.Delete();
            if (!cursor.onRecord) {
                ASSERT_EQ(result, status::kInvalidPositioning) << "step " << step;
            } else {
                ASSERT_EQ(result, 0) << "step " << step;
                model.Delete(cursor.id);
                // Every block on the record keeps its place, with no record to update.
                for (auto& other : cursors) {
                    other.onRecord = other.onRecord && other.id != cursor.id;
                }
                cursor.onRecord = false;
            }
        } else if (choice < 75) {
            ++counts["next/previous"];
            const bool next = Uniform(0, 1) == 0;
            const auto keyNumber = Uniform(0, 9) == 0 ? static_cast<int>(k) : cursor.keyNumber;
            const auto result = table.Step(next ? op::kGetNext : op::kGetPrevious,
                                           static_cast<std::int8_t>(keyNumber));
            if (cursor.keyNumber < 0) {
                ASSERT_EQ(result, status::kInvalidPositioning) << "step " << step;
                continue;
            }
            if (keyNumber != cursor.keyNumber) {
                ASSERT_EQ(result, status::kDifferentKeyNumber) << "step " << step;
                continue;
            }
            const auto entry = model.Step(cursor, next);
            expectRead(table, cursor, result, entry, static_cast<std::size_t>(keyNumber),
                       status::kEndOfFile, step);
        } else {
            ++counts["by key"];
            const std::string probe = RawKey(RandomRecord(), k);
            const std::string folded = Folded(probe, k);
            static constexpr std::uint16_t kOps[] = {
                op::kGetEqual,    op::kGetGreater,     op::kGetGreaterOrEqual,
                op::kGetLessThan, op::kGetLessOrEqual, op::kGetFirst,
                op::kGetLast};
            const auto operation = kOps[Uniform(0, 6)];
            const auto result = table.Get(operation, probe, static_cast<std::int8_t>(k));
            const auto entry = model.Seek(k, operation, folded);
            const std::int16_t missing =
                operation == op::kGetEqual ? status::kKeyNotFound : status::kEndOfFile;
            expectRead(table, cursor, result, entry, k, missing, step);
        }
        if (HasFatalFailure()) {
            return;
        }
    }
    for (const auto& [name, count] : counts) {
        EXPECT_GT(count, 500) << name;
    }
    TableClient& table = tables[0];
    table.length = 4096;
    ASSERT_EQ(table.Do(op::kStat), 0);
    const auto recordCount =
        static_cast<std::uint8_t>(table.data[6]) | (static_cast<std::uint8_t>(table.data[7]) << 8);
    EXPECT_EQ(static_cast<std::size_t>(recordCount), model.Size());
    for (auto& open : tables) {
        EXPECT_EQ(open.Close(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Engines, RandomModel,
    ::testing::Values(
        EngineUnderTest{"InProcess", [] { return std::make_unique<RecordEngine>(FastOptions()); }},
        EngineUnderTest{"CEntry", [] { return std::make_unique<ks::test::CEntryEngine>(); }}),
    [](const ::testing::TestParamInfo<EngineUnderTest>& engine) { return engine.param.name; });

}  // namespace
}  // namespace ks::engine::test
