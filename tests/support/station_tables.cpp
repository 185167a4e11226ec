#include "support/station_tables.h"

#include <array>
#include <cstring>
#include <stdexcept>

#include "core/db/record_layout.h"
#include "ks/engine/btr_codes.h"
#include "tools/demo/table_writer.h"

namespace ks::test {
namespace {

namespace op = engine::op;

void BlankRecord(RecordBuffer& record) {
    record.Clear();
    for (const LayoutField& field : ExpandLayout(record.Layout())) {
        if (field.kind == FieldKind::Text) {
            record.SetText({field.position, field.width}, "");
        }
    }
}

}  // namespace

StationTables::StationTables(engine::BtrCall& engine) : m_engine(engine) {
    InitGeneralData(m_catalogue);
}

std::string StationTables::Path(const std::string& folder, int file, int station) const {
    return folder + NomFichierBTR(m_catalogue, file, station - 1);
}

void StationTables::Write(const std::string& folder, int file, int station,
                          const std::vector<Row>& rows) {
    demo::TableWriter writer(m_engine, m_catalogue);
    const std::string path = Path(folder, file, station);
    writer.Create(path, file);
    writer.Fill(path, [&](const demo::RowInsert& insert) {
        RecordBuffer& record = m_buffers.At(file);
        for (const Row& row : rows) {
            BlankRecord(record);
            for (const auto& [field, text] : row) {
                record.SetText(field, text);
            }
            insert(record);
        }
    });
}

std::vector<std::string> StationTables::Read(const std::string& folder, int file, int station,
                                             const std::vector<FieldRef>& fields, int keyNumber) {
    const std::string path = Path(folder, file, station);
    std::array<std::uint8_t, engine::kPositionBlockSize> block{};
    std::array<std::uint8_t, engine::kKeyBufferSize> key{};
    std::memcpy(key.data(), path.data(), std::min(path.size(), key.size() - 1));
    std::uint32_t length = 0;
    if (m_engine.Call(op::kOpen, block.data(), nullptr, length, key.data(), 255, 0) != 0) {
        throw std::runtime_error("cannot open " + path);
    }
    RecordBuffer& record = m_buffers.At(file);
    std::vector<std::string> rows;
    for (std::uint16_t operation = op::kGetFirst;; operation = op::kGetNext) {
        length = static_cast<std::uint32_t>(record.Size());
        if (m_engine.Call(operation, block.data(), record.Data(), length, key.data(), 255,
                          static_cast<std::int8_t>(keyNumber)) != 0) {
            break;
        }
        std::string row;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            row += (i == 0 ? "" : "|") + record.Text(fields[i]);
        }
        rows.push_back(row);
    }
    m_engine.Call(op::kClose, block.data(), nullptr, length, key.data(), 255, 0);
    return rows;
}

}  // namespace ks::test
