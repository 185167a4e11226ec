// Writes table files through the record engine's classic call: a file is created empty with
// the catalogue's 160-byte structure, then filled inside one transaction (one commit instead
// of one per record). A call the engine refuses throws ks::Failure carrying its status, so the
// guarded step around it is reported by the error handler and the generator goes on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/db/catalogue.h"
#include "ks/engine/btr_call.h"
#include "tools/demo/demo_records.h"

namespace ks::demo {

class TableWriter {
  public:
    TableWriter(engine::BtrCall& engine, const CatalogueTable& catalogue)
        : m_engine(engine), m_catalogue(catalogue) {}

    // Creates `path` empty with the structure of catalogue number `file` (compressed, as the
    // loader creates a missing file), replacing any table file already there.
    void Create(const std::string& path, int file);

    // True when the engine opens `path` as a table file of catalogue number `file`'s record
    // length; the file is closed again.
    bool Opens(const std::string& path, int file);

    // Opens `path`, lets `fill` insert records through the function it is given, commits and
    // closes. Returns the number of records inserted; on a failure nothing of this fill stays.
    std::size_t Fill(const std::string& path, const std::function<void(const RowInsert&)>& fill);

  private:
    using PositionBlock = std::array<std::uint8_t, engine::kPositionBlockSize>;
    using KeyBuffer = std::array<std::uint8_t, engine::kKeyBufferSize>;

    std::int16_t OpenFile(const std::string& path, PositionBlock& block);

    engine::BtrCall& m_engine;
    const CatalogueTable& m_catalogue;
};

}  // namespace ks::demo
