#include "core/db/read_only_table.h"

#include "ks/engine/btr_codes.h"

namespace ks {

ReadOnlyTable::ReadOnlyTable(engine::BtrCall& engine, const std::string& path)
    : m_engine(engine), m_key(path) {
    std::uint32_t length = 0;
    m_open = Call(engine::op::kOpen, nullptr, length, engine::open_mode::kReadOnly) ==
             engine::status::kSuccess;
}

ReadOnlyTable::~ReadOnlyTable() {
    if (m_open) {
        std::uint32_t length = 0;
        Call(engine::op::kClose, nullptr, length);
    }
}

std::int16_t ReadOnlyTable::Call(std::uint16_t operation, void* data, std::uint32_t& length,
                                 std::int8_t keyNumber) {
    return m_engine.Call(operation, m_block.data(), data, length, m_key.Data(),
                         static_cast<std::uint8_t>(engine::kKeyBufferSize), keyNumber);
}

}  // namespace ks
