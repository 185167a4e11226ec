// Opening and closing the table files of a range of stations: each file is named after the
// catalogue and its station, found in the station's folder (files 40 to 49 are created empty
// when missing), opened with the engine and its position block kept for the call layer; and
// later released. What happens is written to the trace log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/db/db_limits.h"

namespace ks {

namespace engine {
class BtrCall;
}
class BtrieveReport;
class DbState;
class ErrorHandler;
class FileOps;
class TraceSink;
struct LoadStations;

class PervasiveFiles {
  public:
    PervasiveFiles(DbState& db, const LoadStations& stations, engine::BtrCall& engine,
                   BtrieveReport& report, FileOps& files, TraceSink& trace, ErrorHandler& errors);

    // Opens `file` for each station from `firstStation` to `lastStation` in slot `base`;
    // success shows in the open flags and the trace log.
    void FichierPervasiveOuvrir(std::int16_t base, std::int16_t firstStation,
                                std::int16_t lastStation, std::int16_t file, std::int16_t openMode);

    // Releases `file` for each station of the range whose open flag is set.
    void FichierPervasiveFermer(std::int16_t base, std::int16_t firstStation,
                                std::int16_t lastStation, std::int16_t file);

    // Opens the file at `path`; a missing path answers 12 without asking the engine. True
    // when opened; a refusal is put in the history and reported.
    bool OuvertureFichierBTrieve(std::int16_t base, std::int16_t file, std::string_view path,
                                 std::int32_t& dataLength, std::int32_t station,
                                 std::int16_t openMode);

    // Asks the engine to stop its use of the file (operation 25). True when it accepted.
    bool FermetureFichierBTrieve(std::int16_t base, std::int16_t file, std::string_view path,
                                 std::int32_t& dataLength, std::int32_t station);

    // Creates an empty file at `path` from StructureBTR; returns the status, also left in
    // StatutBTR.
    std::int16_t CreationStructureVide(std::string_view path);

  private:
    bool Present(std::string_view path);
    // The data buffer of an open or a stop: the file's record buffer, or a scratch buffer of
    // `length` bytes for a file without one.
    std::uint8_t* DataBufferFor(int file, std::uint32_t& length);

    DbState& m_db;
    const LoadStations& m_stations;
    engine::BtrCall& m_engine;
    BtrieveReport& m_report;
    FileOps& m_files;
    TraceSink& m_trace;
    ErrorHandler& m_errors;
    std::vector<std::uint8_t> m_scratch;
};

}  // namespace ks
