// One table opened read-only straight through the engine, for the short looks the load takes
// outside the database layer (the record length of a copy, the last hour of a schedule): no
// trace, no dialog, and the table closed again whatever the looks found.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/db/key_buffer.h"
#include "ks/engine/btr_call.h"

namespace ks {

class ReadOnlyTable {
  public:
    ReadOnlyTable(engine::BtrCall& engine, const std::string& path);
    ~ReadOnlyTable();
    ReadOnlyTable(const ReadOnlyTable&) = delete;
    ReadOnlyTable& operator=(const ReadOnlyTable&) = delete;
    ReadOnlyTable(ReadOnlyTable&&) = delete;
    ReadOnlyTable& operator=(ReadOnlyTable&&) = delete;

    bool IsOpen() const { return m_open; }

    // One operation on the open table; `length` is the room of `data` and comes back as what
    // the engine returned. The engine's status.
    std::int16_t Call(std::uint16_t operation, void* data, std::uint32_t& length,
                      std::int8_t keyNumber = 0);

  private:
    engine::BtrCall& m_engine;
    std::array<std::uint8_t, engine::kPositionBlockSize> m_block{};
    KeyBuffer m_key;
    bool m_open = false;
};

}  // namespace ks
