// Table files of a station written from rows stated as data, and read back as rows, so that a
// test of the transfer or of a load states the records before and after as readable text. A
// row is a blank record (text fields blank, the rest zero) with the fields it names set.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/db/catalogue.h"
#include "core/db/record_buffer.h"
#include "ks/engine/btr_call.h"

namespace ks::test {

using Row = std::vector<std::pair<FieldRef, std::string>>;

class StationTables {
  public:
    explicit StationTables(engine::BtrCall& engine);

    // The table file of catalogue number `file` for `station` in `folder` ("FDATA35.bt6"...).
    std::string Path(const std::string& folder, int file, int station) const;

    // Creates the table (replacing any) holding `rows`.
    void Write(const std::string& folder, int file, int station, const std::vector<Row>& rows);

    // Every record in the order of `keyNumber`, each as the texts of `fields` joined by "|".
    std::vector<std::string> Read(const std::string& folder, int file, int station,
                                  const std::vector<FieldRef>& fields, int keyNumber = 0);

  private:
    engine::BtrCall& m_engine;
    CatalogueTable m_catalogue;
    RecordBuffers m_buffers;
};

}  // namespace ks::test
