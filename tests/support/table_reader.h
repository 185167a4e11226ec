// One table file opened through the record engine, for tests that check what a table holds:
// its records along key 0, a key looked up, a record inserted.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/record_engine.h"
#include "ks/engine/btr_codes.h"

namespace ks::test {

class TableReader {
  public:
    TableReader(engine::RecordEngine& engine, const std::string& path, int recordLength)
        : m_engine(engine), m_record(static_cast<std::size_t>(recordLength)) {
        m_block.fill(' ');
        std::array<std::uint8_t, engine::kKeyBufferSize> key{};
        key.fill(' ');
        path.copy(reinterpret_cast<char*>(key.data()), path.size());
        std::uint32_t length = 0;
        m_status = m_engine.Call(engine::op::kOpen, m_block.data(), nullptr, length, key.data(),
                                 static_cast<std::uint8_t>(key.size()), 0);
    }
    ~TableReader() {
        std::uint32_t length = 0;
        m_engine.Call(engine::op::kClose, m_block.data(), nullptr, length, m_key.data(), 0, 0);
    }
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    bool Opened() const { return m_status == engine::status::kSuccess; }

    // Every record in the order of key 0.
    std::vector<std::string> Records() {
        std::vector<std::string> records;
        for (std::int16_t status = Read(engine::op::kGetFirst); status == engine::status::kSuccess;
             status = Read(engine::op::kGetNext)) {
            records.emplace_back(m_record.begin(), m_record.end());
        }
        return records;
    }

    std::int16_t Insert(std::string record) {
        auto length = static_cast<std::uint32_t>(record.size());
        return m_engine.Call(engine::op::kInsert, m_block.data(), record.data(), length,
                             m_key.data(), static_cast<std::uint8_t>(m_key.size()), 0);
    }

    // Replaces the record the last read stood on.
    std::int16_t Update(std::string record) {
        auto length = static_cast<std::uint32_t>(record.size());
        return m_engine.Call(engine::op::kUpdate, m_block.data(), record.data(), length,
                             m_key.data(), static_cast<std::uint8_t>(m_key.size()), 0);
    }

    // Deletes every record whose key 0 sorts after `key`; the number deleted.
    int DeleteAfter(const std::string& key) {
        int deleted = 0;
        for (;;) {
            m_key.fill(0);
            key.copy(reinterpret_cast<char*>(m_key.data()), key.size());
            std::uint32_t length = 0;
            if (Read(engine::op::kGetGreater) != engine::status::kSuccess ||
                m_engine.Call(engine::op::kDelete, m_block.data(), nullptr, length, m_key.data(),
                              static_cast<std::uint8_t>(m_key.size()), 0) != 0) {
                return deleted;
            }
            ++deleted;
        }
    }

    // True when a record has `key` as key `keyNumber`.
    bool Has(const std::string& key, std::int8_t keyNumber = 0) {
        m_key.fill(0);
        key.copy(reinterpret_cast<char*>(m_key.data()), key.size());
        return Read(engine::op::kGetEqual, keyNumber) == engine::status::kSuccess;
    }

  private:
    std::int16_t Read(std::uint16_t operation, std::int8_t keyNumber = 0) {
        auto length = static_cast<std::uint32_t>(m_record.size());
        return m_engine.Call(operation, m_block.data(), m_record.data(), length, m_key.data(),
                             static_cast<std::uint8_t>(m_key.size()), keyNumber);
    }

    engine::RecordEngine& m_engine;
    std::array<std::uint8_t, engine::kPositionBlockSize> m_block{};
    std::array<std::uint8_t, engine::kKeyBufferSize> m_key{};
    std::vector<std::uint8_t> m_record;
    std::int16_t m_status = -1;
};

}  // namespace ks::test
