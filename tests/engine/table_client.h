// A caller of the record engine for the tests: one position block, data buffer and key
// buffer, as the database layer of the loader keeps them per file.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/record_engine.h"
#include "ks/engine/btr_call.h"
#include "ks/engine/btr_codes.h"

namespace ks::engine::test {

// Tests create thousands of throw-away files: their commits need not wait for the disk.
inline EngineOptions FastOptions() {
    EngineOptions options;
    options.waitForDisk = false;
    return options;
}

struct Segment {
    std::uint16_t position;
    std::uint16_t length;
    std::uint16_t flags;
    std::uint8_t type = 0;  // read with the extended-type flag
};

// The 160-byte create buffer for a record length, a page size and the keys' segments.
inline std::string SpecBuffer(std::uint16_t recordLength, std::uint16_t pageSize,
                              std::uint16_t keyCount, const std::vector<Segment>& segments,
                              std::uint16_t fileFlags = 0) {
    std::string buffer(160, '\0');
    auto put = [&buffer](std::size_t offset, std::uint16_t value) {
        buffer[offset] = static_cast<char>(value & 0xFF);
        buffer[offset + 1] = static_cast<char>(value >> 8);
    };
    put(0, recordLength);
    put(2, pageSize);
    put(4, keyCount);
    put(10, fileFlags);
    std::size_t offset = 16;
    for (const auto& segment : segments) {
        if (offset + 16 > buffer.size()) {
            buffer.resize(offset + 16, '\0');
        }
        put(offset, segment.position);
        put(offset + 2, segment.length);
        put(offset + 4, segment.flags);
        buffer[offset + 10] = static_cast<char>(segment.type);
        offset += 16;
    }
    return buffer;
}

class TableClient {
  public:
    explicit TableClient(BtrCall& engine) : m_engine(engine) { block.fill(' '); }

    std::int16_t Do(std::uint16_t operation, std::int8_t keyNumber = 0,
                    std::uint8_t keyLength = 255) {
        return m_engine.Call(operation, block.data(), data.data(), length, key.data(), keyLength,
                             keyNumber);
    }

    std::int16_t Open(const std::string& path, std::int8_t mode = 0) {
        SetKey(path);
        length = 0;
        return Do(op::kOpen, mode);
    }

    std::int16_t Create(const std::string& path, const std::string& shape, std::int8_t mode = 0) {
        SetKey(path);
        data.assign(shape);
        data.resize(std::max<std::size_t>(shape.size(), 4096), '\0');
        length = static_cast<std::uint32_t>(shape.size());
        return Do(op::kCreate, mode, static_cast<std::uint8_t>(path.size()));
    }

    std::int16_t Close() { return Do(op::kClose); }

    // Insert and update send `record` with its own length.
    std::int16_t Insert(const std::string& record, std::int8_t keyNumber = 0) {
        SetData(record);
        key.fill(0);
        return Do(op::kInsert, keyNumber);
    }
    std::int16_t Update(const std::string& record, std::int8_t keyNumber = 0) {
        SetData(record);
        return Do(op::kUpdate, keyNumber);
    }
    std::int16_t Delete(std::int8_t keyNumber = 0) { return Do(op::kDelete, keyNumber); }

    // A read with a key in the key buffer and room for `room` bytes of record.
    std::int16_t Get(std::uint16_t operation, std::string_view keyBytes, std::int8_t keyNumber,
                     std::uint32_t room = 4096) {
        SetKey(keyBytes);
        length = room;
        return Do(operation, keyNumber);
    }
    std::int16_t Step(std::uint16_t operation, std::int8_t keyNumber, std::uint32_t room = 4096) {
        length = room;
        return Do(operation, keyNumber);
    }

    void SetKey(std::string_view bytes) {
        key.fill(0);
        std::memcpy(key.data(), bytes.data(), std::min(bytes.size(), key.size()));
    }
    void SetData(const std::string& record) {
        std::memcpy(data.data(), record.data(), std::min(record.size(), data.size()));
        length = static_cast<std::uint32_t>(record.size());
    }
    std::string Record() const { return data.substr(0, length); }
    std::string Key(std::size_t size) const {
        return {reinterpret_cast<const char*>(key.data()), size};
    }

    std::array<std::uint8_t, kPositionBlockSize> block{};
    std::string data = std::string(4096, '\0');
    std::uint32_t length = 0;
    std::array<std::uint8_t, kKeyBufferSize> key{};

  private:
    BtrCall& m_engine;
};

// Every record of the table at `path`, walking key `keyNumber` from its first to its last.
inline std::vector<std::string> WalkKey(BtrCall& engine, const std::string& path,
                                        std::int8_t keyNumber) {
    TableClient table(engine);
    table.data.resize(kMaxRecordLength);
    std::vector<std::string> records;
    if (table.Open(path, open_mode::kReadOnly) != status::kSuccess) {
        return records;
    }
    for (auto op = op::kGetFirst; table.Step(op, keyNumber, kMaxRecordLength) == 0;
         op = op::kGetNext) {
        records.push_back(table.Record());
    }
    table.Close();
    return records;
}

}  // namespace ks::engine::test
