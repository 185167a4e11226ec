// The state of the database layer for the whole run: the catalogue, the creation buffer, the
// record buffers, the status of the last call, the transaction flag, the call history of each
// slot, and per (slot, station, file) the position block, the open flag and the file's path.
// One object, created by the program and passed by reference to the layer's procedures.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/db/catalogue.h"
#include "core/db/db_limits.h"
#include "core/db/record_buffer.h"
#include "core/db/structure_btr.h"

namespace ks {

using HistoryLines = std::array<std::string, kHistoryLines>;

// Length of the "S:00000 " that marks a history line with the status of its call.
inline constexpr std::size_t kStatusMarkLength = 8;

class DbState {
  public:
    DbState();

    CatalogueTable CatalogueBTR;      // filled by InitGeneralData
    StructureBuffer StructureBTR{};   // the file being prepared for creation and opening
    RecordBuffers Records;            // one record buffer per supported file
    std::int16_t StatutBTR = 0;       // status of the last database call
    bool TransactionEnCours = false;  // a transaction begun through the call layer
    std::array<HistoryLines, kSlotCount> HistoriqueBTR;   // per slot, line 0 the newest
    std::array<std::uint16_t, kFileCount> LongueurBTR{};  // data length sent per file number
    // Every distinct path opened so far in the run. A set, not a growing text: the loads of a
    // year open the same few dozen paths again and again, and the test asks only "was it
    // ever opened".
    std::set<std::string, std::less<>> ListeFichiersOuverts;

    void InitGeneralData() { ks::InitGeneralData(CatalogueBTR); }
    void InitStructureFichierBTR(int file, bool compressed) {
        ks::InitStructureFichierBTR(CatalogueBTR, file, compressed, StructureBTR);
    }
    std::string NomFichierBTR(int file, int stationIndex) const {
        return ks::NomFichierBTR(CatalogueBTR, file, stationIndex);
    }

    // Indexed state; an index outside its range throws ks::Failure (subscript out of range).
    PositionBlock& PositionBTR(int base, int station, int file);
    bool FichierOuvertBTR(int base, int station, int file) const;
    void SetFichierOuvertBTR(int base, int station, int file, bool open);
    std::string& CheminFichierBTR(int base, int file, int stationIndex);
    // An open file whose engine refused a write with status 46 (a file it may only read, or
    // one that lost a bundle of writes) refuses them until it is opened again: its later
    // writes are not sent, and the refusal is reported once.
    bool WritesRefused(int base, int station, int file) const;
    void SetWritesRefused(int base, int station, int file);
    std::uint16_t& Longueur(int file);

    // History of a slot: lines 0..4 move to 1..5 (line 5 is dropped), `line` becomes line 0.
    void AddHistory(int base, std::string line);
    // Line 0 of the slot prefixed with "S:" + the status on five digits + " ", unless it
    // already starts with "S:".
    void MarkHistoryStatus(int base, std::int16_t status);
    HistoryLines& History(int base);

    // True when `path` is one of the entries of ListeFichiersOuverts.
    bool WasOpened(std::string_view path) const { return ListeFichiersOuverts.contains(path); }

  private:
    static std::size_t Index(int base, int station, int file);

    std::vector<PositionBlock> m_positions;
    // 0 closed, 1 open, kRefusingWrites open and refusing writes.
    static constexpr std::uint8_t kRefusingWrites = 2;
    std::vector<std::uint8_t> m_open;
    std::vector<std::string> m_paths;
};

}  // namespace ks
