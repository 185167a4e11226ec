// The benchmark's view of a table kept by the record engine: the same operations as the
// direct baseline, made through the classic call.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "bench_table.h"
#include "ks/engine/btr_call.h"
#include "song_table.h"

namespace ks::bench {

class EngineTable final : public BenchTable {
  public:
    // Creates the table at `path` (replacing any file there) and opens it; with `create`
    // false, opens the table already there.
    EngineTable(engine::BtrCall& engine, const std::string& path, const TableSpec& shape,
                bool create = true);
    ~EngineTable() override;
    EngineTable(const EngineTable&) = delete;
    EngineTable& operator=(const EngineTable&) = delete;

    bool GetEqual(int key, const std::string& value, std::string& record) override;
    bool GetGreaterOrEqual(int key, const std::string& value, std::string& record) override;
    bool GetFirst(int key, std::string& record) override;
    bool GetNext(std::string& record) override;
    bool Insert(const std::string& record) override;
    bool UpdateCurrent(const std::string& record) override;
    bool DeleteCurrent() override;
    void Flush() override;

  private:
    bool Read(std::uint16_t operation, int key, std::string& record);

    engine::BtrCall& m_engine;
    TableSpec m_spec;
    std::array<std::uint8_t, 128> m_block{};
    std::array<std::uint8_t, 255> m_key{};
    std::array<char, 4096> m_data{};
    int m_keyNumber = 0;
};

}  // namespace ks::bench
