#include "engine_table.h"

#include <cstring>
#include <stdexcept>

#include "ks/engine/btr_codes.h"

namespace ks::bench {

namespace op = engine::op;

EngineTable::EngineTable(engine::BtrCall& engine, const std::string& path, const TableSpec& shape,
                         bool create)
    : m_engine(engine), m_spec(shape) {
    std::string buffer = CreateBuffer(shape);
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    std::memcpy(m_key.data(), path.data(), path.size());
    if (create && m_engine.Call(op::kCreate, m_block.data(), buffer.data(), length, m_key.data(),
                                static_cast<std::uint8_t>(path.size()), 0) != 0) {
        throw std::runtime_error("cannot create " + path);
    }
    length = 0;
    if (m_engine.Call(op::kOpen, m_block.data(), m_data.data(), length, m_key.data(), 255, 0) !=
        0) {
        throw std::runtime_error("cannot open " + path);
    }
}

EngineTable::~EngineTable() {
    std::uint32_t length = 0;
    m_engine.Call(op::kClose, m_block.data(), nullptr, length, m_key.data(), 255, 0);
}

bool EngineTable::Read(std::uint16_t operation, int key, std::string& record) {
    std::uint32_t length = static_cast<std::uint32_t>(m_data.size());
    if (m_engine.Call(operation, m_block.data(), m_data.data(), length, m_key.data(), 255,
                      static_cast<std::int8_t>(key)) != 0) {
        return false;
    }
    m_keyNumber = key;
    record.assign(m_data.data(), length);
    return true;
}

bool EngineTable::GetEqual(int key, const std::string& value, std::string& record) {
    std::memcpy(m_key.data(), value.data(), value.size());
    return Read(op::kGetEqual, key, record);
}

bool EngineTable::GetGreaterOrEqual(int key, const std::string& value, std::string& record) {
    std::memcpy(m_key.data(), value.data(), value.size());
    return Read(op::kGetGreaterOrEqual, key, record);
}

bool EngineTable::GetFirst(int key, std::string& record) {
    return Read(op::kGetFirst, key, record);
}

bool EngineTable::GetNext(std::string& record) {
    return Read(op::kGetNext, m_keyNumber, record);
}

bool EngineTable::Insert(const std::string& record) {
    std::memcpy(m_data.data(), record.data(), record.size());
    std::uint32_t length = static_cast<std::uint32_t>(record.size());
    m_keyNumber = 0;
    return m_engine.Call(op::kInsert, m_block.data(), m_data.data(), length, m_key.data(), 255,
                         0) == 0;
}

bool EngineTable::UpdateCurrent(const std::string& record) {
    std::memcpy(m_data.data(), record.data(), record.size());
    std::uint32_t length = static_cast<std::uint32_t>(record.size());
    return m_engine.Call(op::kUpdate, m_block.data(), m_data.data(), length, m_key.data(), 255,
                         static_cast<std::int8_t>(m_keyNumber)) == 0;
}

bool EngineTable::DeleteCurrent() {
    std::uint32_t length = 0;
    return m_engine.Call(op::kDelete, m_block.data(), m_data.data(), length, m_key.data(), 255,
                         static_cast<std::int8_t>(m_keyNumber)) == 0;
}

void EngineTable::Flush() {
    // The engine ends its open bundles before a transaction of the caller: an empty one
    // commits everything pending without changing anything.
    std::uint32_t length = 0;
    std::array<std::uint8_t, 128> block{};
    m_engine.Call(op::kBeginTransaction, block.data(), nullptr, length, m_key.data(), 0, 0);
    m_engine.Call(op::kEndTransaction, block.data(), nullptr, length, m_key.data(), 0, 0);
}

}  // namespace ks::bench
