// An in-memory table as the record engine should keep it, for the tests and the fuzz target
// that compare the engine's answers with it: the records, per key their ordered entries
// (folded key bytes, order among duplicates, record) and where each read lands. The order
// among duplicates follows the engine's rule: a number that grows with every insert and with
// every update that changes a key, so a record whose key changes goes after its new
// duplicates. Only the order of those numbers matters, never their values.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ks/engine/btr_codes.h"

namespace ks::engine::test {

class TableModel {
  public:
    using Entry = std::tuple<std::string, std::int64_t, std::int64_t>;  // key, sequence, id
    // The folded bytes of key `k` of a record, as the index compares them.
    using KeyOf = std::function<std::string(const std::string& record, std::size_t k)>;

    // Where a position block stands, as the engine keeps it: after a delete the position
    // stays between its neighbours.
    struct Cursor {
        int keyNumber = -1;
        bool onRecord = false;
        std::string key;
        std::int64_t sequence = 0;
        std::int64_t id = 0;
    };

    TableModel(std::vector<bool> duplicates, KeyOf keyOf)
        : m_duplicates(std::move(duplicates)),
          m_keyOf(std::move(keyOf)),
          m_index(m_duplicates.size()) {}

    std::size_t KeyCount() const { return m_duplicates.size(); }

    // True when a key without duplicates of `record` is held by another record than `except`.
    bool Collides(const std::string& record, std::int64_t except) const {
        for (std::size_t k = 0; k < KeyCount(); ++k) {
            if (m_duplicates[k]) {
                continue;
            }
            const auto first = m_index[k].lower_bound({m_keyOf(record, k), -1, -1});
            if (first != m_index[k].end() && std::get<0>(*first) == m_keyOf(record, k) &&
                std::get<2>(*first) != except) {
                return true;
            }
        }
        return false;
    }

    std::int64_t Insert(const std::string& record) {
        const std::int64_t id = ++m_counter;
        m_records[id] = record;
        for (std::size_t k = 0; k < KeyCount(); ++k) {
            m_sequence[id][k] = m_duplicates[k] ? id : 0;
            m_index[k].insert({m_keyOf(record, k), m_sequence[id][k], id});
        }
        return id;
    }

    void Update(std::int64_t id, const std::string& record) {
        const std::string old = m_records.at(id);
        const std::int64_t next = m_counter + 1;
        bool used = false;
        for (std::size_t k = 0; k < KeyCount(); ++k) {
            m_index[k].erase({m_keyOf(old, k), m_sequence[id][k], id});
            if (m_keyOf(old, k) != m_keyOf(record, k)) {
                used = true;
                if (m_duplicates[k]) {
                    m_sequence[id][k] = next;
                }
            }
            m_index[k].insert({m_keyOf(record, k), m_sequence[id][k], id});
        }
        if (used) {
            m_counter = next;
        }
        m_records[id] = record;
    }

    void Delete(std::int64_t id) {
        for (std::size_t k = 0; k < KeyCount(); ++k) {
            m_index[k].erase({m_keyOf(m_records.at(id), k), m_sequence[id][k], id});
        }
        m_records.erase(id);
        m_sequence.erase(id);
    }

    // Back to `saved` (a transaction rolled back); the order numbers go on growing, as the
    // engine's do, so that positions taken in between keep their place.
    void RollBackTo(const TableModel& saved) {
        const std::int64_t counter = m_counter;
        *this = saved;
        m_counter = counter;
    }

    bool Exists(std::int64_t id) const { return m_records.count(id) != 0; }
    const std::string& Record(std::int64_t id) const { return m_records.at(id); }
    const std::set<Entry>& Index(std::size_t k) const { return m_index[k]; }
    Entry EntryOf(std::int64_t id, std::size_t k) const {
        return {m_keyOf(m_records.at(id), k), m_sequence.at(id).at(k), id};
    }
    std::size_t Size() const { return m_records.size(); }

    // The cursor on record `id` by key `k`.
    Cursor CursorOn(std::int64_t id, std::size_t k) const {
        const Entry entry = EntryOf(id, k);
        return {static_cast<int>(k), true, std::get<0>(entry), std::get<1>(entry), id};
    }

    // The entry a read by key lands on (get equal, greater, greater or equal, less, less or
    // equal with the folded key searched; get first and last ignore it), if any.
    std::optional<Entry> Seek(std::size_t k, std::uint16_t operation,
                              const std::string& folded) const {
        const auto& index = m_index[k];
        const auto low = index.lower_bound({folded, -1, -1});
        const auto high = index.upper_bound({folded, kMax, 0});
        switch (operation) {
            case op::kGetEqual:
                if (low != index.end() && std::get<0>(*low) == folded) {
                    return *low;
                }
                break;
            case op::kGetGreater:
                if (high != index.end()) {
                    return *high;
                }
                break;
            case op::kGetGreaterOrEqual:
                if (low != index.end()) {
                    return *low;
                }
                break;
            case op::kGetLessThan:
                if (low != index.begin()) {
                    return *std::prev(low);
                }
                break;
            case op::kGetLessOrEqual:
                if (high != index.begin()) {
                    return *std::prev(high);
                }
                break;
            case op::kGetFirst:
                if (!index.empty()) {
                    return *index.begin();
                }
                break;
            case op::kGetLast:
                if (!index.empty()) {
                    return *index.rbegin();
                }
                break;
            default:
                break;
        }
        return std::nullopt;
    }

    // The entry a get next or previous lands on from a cursor's position by its key.
    std::optional<Entry> Step(const Cursor& cursor, bool next) const {
        const auto& index = m_index[static_cast<std::size_t>(cursor.keyNumber)];
        if (next) {
            const auto it = index.upper_bound({cursor.key, cursor.sequence, kMax});
            return it != index.end() ? std::optional<Entry>(*it) : std::nullopt;
        }
        const auto it = index.lower_bound({cursor.key, cursor.sequence, -1});
        return it != index.begin() ? std::optional<Entry>(*std::prev(it)) : std::nullopt;
    }

  private:
    static constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

    std::vector<bool> m_duplicates;
    KeyOf m_keyOf;
    std::map<std::int64_t, std::string> m_records;
    std::map<std::int64_t, std::map<std::size_t, std::int64_t>> m_sequence;
    std::vector<std::set<Entry>> m_index;
    std::int64_t m_counter = 0;
};

}  // namespace ks::engine::test
