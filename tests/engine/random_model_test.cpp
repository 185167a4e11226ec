// A long random sequence of operations on three keys, each answer compared with an in-memory
// model of the table (std::map and std::set) as it should behave: statuses, records, returned
// keys and the cursor's walk, duplicates and deletions included. Fixed seed: a failure repeats.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include "engine/record_engine.h"
#include "support/temp_dir.h"
#include "table_client.h"

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

// The table as it should be.
class Model {
  public:
    using Entry = std::tuple<std::string, std::int64_t, std::int64_t>;  // key, sequence, id

    struct Cursor {
        int keyNumber = -1;
        bool onRecord = false;
        std::string key;
        std::int64_t sequence = 0;
        std::int64_t id = 0;
    };

    bool Collides(const std::string& record, std::int64_t except) const {
        const std::string key = RawKey(record, 0);
        for (const auto& [id, stored] : m_records) {
            if (id != except && RawKey(stored, 0) == key) {
                return true;
            }
        }
        return false;
    }

    std::int64_t Insert(const std::string& record) {
        const std::int64_t id = ++m_counter;
        m_records[id] = record;
        for (std::size_t k = 0; k < kKeys; ++k) {
            m_sequence[id][k] = k == 0 ? 0 : id;
            m_index[k].insert({Folded(RawKey(record, k), k), m_sequence[id][k], id});
        }
        return id;
    }

    void Update(std::int64_t id, const std::string& record) {
        const std::string old = m_records[id];
        const std::int64_t next = m_counter + 1;
        bool used = false;
        for (std::size_t k = 0; k < kKeys; ++k) {
            m_index[k].erase({Folded(RawKey(old, k), k), m_sequence[id][k], id});
            if (k != 0 && Folded(RawKey(old, k), k) != Folded(RawKey(record, k), k)) {
                m_sequence[id][k] = next;
                used = true;
            }
            m_index[k].insert({Folded(RawKey(record, k), k), m_sequence[id][k], id});
        }
        if (used) {
            m_counter = next;
        }
        m_records[id] = record;
    }

    void Delete(std::int64_t id) {
        for (std::size_t k = 0; k < kKeys; ++k) {
            m_index[k].erase({Folded(RawKey(m_records[id], k), k), m_sequence[id][k], id});
        }
        m_records.erase(id);
    }

    bool Exists(std::int64_t id) const { return m_records.count(id) != 0; }
    const std::string& Record(std::int64_t id) const { return m_records.at(id); }
    const std::set<Entry>& Index(std::size_t k) const { return m_index[k]; }
    Entry EntryOf(std::int64_t id, std::size_t k) const {
        return {Folded(RawKey(m_records.at(id), k), k), m_sequence.at(id).at(k), id};
    }
    std::size_t Size() const { return m_records.size(); }

  private:
    std::map<std::int64_t, std::string> m_records;
    std::map<std::int64_t, std::map<std::size_t, std::int64_t>> m_sequence;
    std::set<Entry> m_index[kKeys];
    std::int64_t m_counter = 0;
};

class RandomModel : public ::testing::Test {
  protected:
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

TEST_F(RandomModel, TenThousandOperationsAgreeWithTheModel) {
    ks::test::TempDir dir;
    RecordEngine engine(FastOptions());
    TableClient table(engine);
    const std::string path = dir.Folder() + "random.bt6";
    ASSERT_EQ(table.Create(path, Shape()), 0);
    ASSERT_EQ(table.Open(path), 0);
    Model model;
    Model::Cursor cursor;
    std::map<std::string, int> counts;

    // Compares a successful read with the model's entry and moves the model's cursor there.
    auto expectRead = [&](std::int16_t result, std::optional<Model::Entry> entry, std::size_t k,
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
        cursor = {static_cast<int>(k), true, std::get<0>(*entry), std::get<1>(*entry), id};
    };

    for (int step = 0; step < 10000; ++step) {
        const int choice = Uniform(0, 99);
        const auto k = static_cast<std::size_t>(Uniform(0, 2));
        const auto& index = model.Index(k);
        if (choice < 25 || model.Size() < 5) {
            ++counts["insert"];
            const std::string record = RandomRecord();
            const auto result = table.Insert(record, static_cast<std::int8_t>(k));
            if (model.Collides(record, 0)) {
                ASSERT_EQ(result, status::kDuplicateKey) << "step " << step;
                continue;
            }
            ASSERT_EQ(result, 0) << "step " << step;
            const auto id = model.Insert(record);
            const auto entry = model.EntryOf(id, k);
            cursor = {static_cast<int>(k), true, std::get<0>(entry), std::get<1>(entry), id};
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
                const auto entry = model.EntryOf(cursor.id, static_cast<std::size_t>(keyNumber));
                cursor = {keyNumber, true, std::get<0>(entry), std::get<1>(entry), cursor.id};
            }
        } else if (choice < 45) {
            ++counts["delete"];
            const auto result = table.Delete();
            if (!cursor.onRecord) {
                ASSERT_EQ(result, status::kInvalidPositioning) << "step " << step;
            } else {
                ASSERT_EQ(result, 0) << "step " << step;
                model.Delete(cursor.id);
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
            const auto& keyPath = model.Index(static_cast<std::size_t>(keyNumber));
            const Model::Entry from{cursor.key, cursor.sequence,
                                    next ? std::numeric_limits<std::int64_t>::max() : -1};
            std::optional<Model::Entry> entry;
            if (next) {
                // Keys without duplicates order by key only.
                auto it = keyNumber == 0
                              ? keyPath.upper_bound(
                                    {cursor.key, 0, std::numeric_limits<std::int64_t>::max()})
                              : keyPath.upper_bound(from);
                if (it != keyPath.end()) {
                    entry = *it;
                }
            } else {
                auto it =
                    keyPath.lower_bound(keyNumber == 0 ? Model::Entry{cursor.key, 0, -1} : from);
                if (it != keyPath.begin()) {
                    entry = *std::prev(it);
                }
            }
            expectRead(result, entry, static_cast<std::size_t>(keyNumber), status::kEndOfFile,
                       step);
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
            const auto low = index.lower_bound({folded, -1, -1});
            const auto high =
                index.upper_bound({folded, std::numeric_limits<std::int64_t>::max(), 0});
            std::optional<Model::Entry> entry;
            std::int16_t missing = status::kEndOfFile;
            switch (operation) {
                case op::kGetEqual:
                    missing = status::kKeyNotFound;
                    if (low != index.end() && std::get<0>(*low) == folded) {
                        entry = *low;
                    }
                    break;
                case op::kGetGreater:
                    if (high != index.end()) {
                        entry = *high;
                    }
                    break;
                case op::kGetGreaterOrEqual:
                    if (low != index.end()) {
                        entry = *low;
                    }
                    break;
                case op::kGetLessThan:
                    if (low != index.begin()) {
                        entry = *std::prev(low);
                    }
                    break;
                case op::kGetLessOrEqual:
                    if (high != index.begin()) {
                        entry = *std::prev(high);
                    }
                    break;
                case op::kGetFirst:
                    if (!index.empty()) {
                        entry = *index.begin();
                    }
                    break;
                default:
                    if (!index.empty()) {
                        entry = *index.rbegin();
                    }
                    break;
            }
            expectRead(result, entry, k, missing, step);
        }
        if (HasFatalFailure()) {
            return;
        }
    }
    for (const auto& [name, count] : counts) {
        EXPECT_GT(count, 500) << name;
    }
    table.length = 4096;
    ASSERT_EQ(table.Do(op::kStat), 0);
    const auto recordCount =
        static_cast<std::uint8_t>(table.data[6]) | (static_cast<std::uint8_t>(table.data[7]) << 8);
    EXPECT_EQ(static_cast<std::size_t>(recordCount), model.Size());
}

}  // namespace
}  // namespace ks::engine::test
