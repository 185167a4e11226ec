#include "tools/demo/table_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/base/failure.h"
#include "core/db/structure_btr.h"
#include "ks/engine/btr_codes.h"

namespace ks::demo {
namespace {

namespace op = engine::op;
namespace status = engine::status;

// A key buffer holding a path, blank-padded as the loader passes it.
std::array<std::uint8_t, engine::kKeyBufferSize> PathKey(const std::string& path) {
    std::array<std::uint8_t, engine::kKeyBufferSize> key{};
    key.fill(' ');
    std::memcpy(key.data(), path.data(), std::min(path.size(), key.size()));
    return key;
}

// A status other than 0 throws, naming the operation and the file.
void Require(std::int16_t result, std::uint16_t operation, const std::string& path) {
    if (result != status::kSuccess) {
        throw Failure(result, "Engine status " + std::to_string(result) + " on operation " +
                                  std::to_string(operation) + " of " + path);
    }
}

// Whatever happens inside a fill, its transaction ends (rolled back unless committed) and the
// file is closed.
class FillSession {
  public:
    FillSession(engine::BtrCall& engine, std::uint8_t* block) : m_engine(engine), m_block(block) {}
    FillSession(const FillSession&) = delete;
    FillSession& operator=(const FillSession&) = delete;
    FillSession(FillSession&&) = delete;
    FillSession& operator=(FillSession&&) = delete;
    ~FillSession() {
        std::array<std::uint8_t, engine::kKeyBufferSize> key{};
        std::uint32_t length = 0;
        if (!m_committed) {
            m_engine.Call(op::kAbortTransaction, m_block, nullptr, length, key.data(), 0, 0);
        }
        m_engine.Call(op::kClose, m_block, nullptr, length, key.data(), 0, 0);
    }

    void Committed() { m_committed = true; }

  private:
    engine::BtrCall& m_engine;
    std::uint8_t* m_block;
    bool m_committed = false;
};

}  // namespace

void TableWriter::Create(const std::string& path, int file) {
    StructureBuffer structure{};
    InitStructureFichierBTR(m_catalogue, file, true, structure);
    if (StructureRecordLength(structure) == 0) {
        throw Failure(kErrInvalidCall, "No table file numbered " + std::to_string(file));
    }
    if (path.size() >= engine::kKeyBufferSize) {
        throw Failure(status::kInvalidFileName, "Path too long for the engine: " + path);
    }
    PositionBlock block{};
    auto key = PathKey(path);
    std::uint32_t length = kStructureSize;
    // Key number 0 lets the create replace a file already there.
    Require(m_engine.Call(op::kCreate, block.data(), structure.data(), length, key.data(),
                          static_cast<std::uint8_t>(path.size()), 0),
            op::kCreate, path);
}

std::int16_t TableWriter::OpenFile(const std::string& path, PositionBlock& block) {
    if (path.size() >= engine::kKeyBufferSize) {
        return status::kInvalidFileName;
    }
    block.fill(' ');
    auto key = PathKey(path);
    std::uint32_t length = 0;
    return m_engine.Call(op::kOpen, block.data(), nullptr, length, key.data(),
                         static_cast<std::uint8_t>(engine::kKeyBufferSize),
                         engine::open_mode::kNormal);
}

bool TableWriter::Opens(const std::string& path, int file) {
    PositionBlock block{};
    if (OpenFile(path, block) != status::kSuccess) {
        return false;
    }
    // A file of another length than the catalogue's is no use to the loader either.
    std::vector<std::uint8_t> shape(512, 0);
    auto length = static_cast<std::uint32_t>(shape.size());
    KeyBuffer key{};
    const std::int16_t stat = m_engine.Call(op::kStat, block.data(), shape.data(), length,
                                            key.data(), static_cast<std::uint8_t>(key.size()), 0);
    const auto recordLength = shape[0] | (shape[1] << 8);
    std::uint32_t closeLength = 0;
    m_engine.Call(op::kClose, block.data(), nullptr, closeLength, key.data(), 0, 0);
    return stat == status::kSuccess &&
           recordLength == m_catalogue[static_cast<std::size_t>(file)].LongueurEnreg;
}

std::size_t TableWriter::Fill(const std::string& path,
                              const std::function<void(const RowInsert&)>& fill) {
    PositionBlock block{};
    Require(OpenFile(path, block), op::kOpen, path);
    KeyBuffer key{};
    std::uint32_t noLength = 0;
    FillSession session(m_engine, block.data());
    Require(m_engine.Call(op::kBeginTransaction, block.data(), nullptr, noLength, key.data(), 0, 0),
            op::kBeginTransaction, path);

    std::size_t count = 0;
    fill([&](RecordBuffer& record) {
        record.ZeroUnownedBytes();
        auto length = static_cast<std::uint32_t>(record.Size());
        Require(m_engine.Call(op::kInsert, block.data(), record.Data(), length, key.data(),
                              static_cast<std::uint8_t>(key.size()), 0),
                op::kInsert, path);
        ++count;
    });
    Require(m_engine.Call(op::kEndTransaction, block.data(), nullptr, noLength, key.data(), 0, 0),
            op::kEndTransaction, path);
    session.Committed();
    return count;
}

}  // namespace ks::demo
