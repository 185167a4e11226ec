#include "core/db/db_state.h"

#include <utility>

#include "core/base/failure.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

constexpr std::size_t kCells = static_cast<std::size_t>(kSlotCount) * kStationCount * kFileCount;

[[noreturn]] void OutOfRange() {
    throw Failure(kErrSubscriptOutOfRange, "Subscript out of range");
}

}  // namespace

DbState::DbState() : m_positions(kCells), m_open(kCells, 0), m_paths(kCells) {
    for (PositionBlock& block : m_positions) {
        block.fill(0);
    }
}

std::size_t DbState::Index(int base, int station, int file) {
    if (!IsSlot(base) || !IsStation(station) || !IsFileNumber(file)) {
        OutOfRange();
    }
    return (static_cast<std::size_t>(base) * kStationCount +
            static_cast<std::size_t>(station - 1)) *
               kFileCount +
           static_cast<std::size_t>(file);
}

PositionBlock& DbState::PositionBTR(int base, int station, int file) {
    return m_positions[Index(base, station, file)];
}

bool DbState::FichierOuvertBTR(int base, int station, int file) const {
    return m_open[Index(base, station, file)] != 0;
}

bool DbState::WritesRefused(int base, int station, int file) const {
    return m_open[Index(base, station, file)] == kRefusingWrites;
}

void DbState::SetWritesRefused(int base, int station, int file) {
    std::uint8_t& state = m_open[Index(base, station, file)];
    state = state != 0 ? kRefusingWrites : state;
}

void DbState::SetFichierOuvertBTR(int base, int station, int file, bool open) {
    m_open[Index(base, station, file)] = open ? 1 : 0;
}

std::string& DbState::CheminFichierBTR(int base, int file, int stationIndex) {
    return m_paths[Index(base, stationIndex + 1, file)];
}

std::uint16_t& DbState::Longueur(int file) {
    if (!IsFileNumber(file)) {
        OutOfRange();
    }
    return LongueurBTR[static_cast<std::size_t>(file)];
}

HistoryLines& DbState::History(int base) {
    if (!IsSlot(base)) {
        OutOfRange();
    }
    return HistoriqueBTR[static_cast<std::size_t>(base)];
}

void DbState::AddHistory(int base, std::string line) {
    HistoryLines& lines = History(base);
    for (std::size_t i = lines.size() - 1; i > 0; --i) {
        lines[i] = std::move(lines[i - 1]);
    }
    lines[0] = std::move(line);
}

void DbState::MarkHistoryStatus(int base, std::int16_t status) {
    std::string& newest = History(base)[0];
    if (newest.rfind("S:", 0) != 0) {
        newest.insert(0, "S:" + N2S(status, 5, 0, "0") + " ");
    }
}

}  // namespace ks
