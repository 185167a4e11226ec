#include "core/db/pervasive_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/base/error_handler.h"
#include "core/base/trace_sink.h"
#include "core/db/btrieve_report.h"
#include "core/db/db_state.h"
#include "core/db/key_buffer.h"
#include "core/db/load_stations.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "core/sys/text_helpers.h"
#include "ks/engine/btr_call.h"
#include "ks/engine/btr_codes.h"
#include "platform/native_path.h"

namespace ks {
namespace {

namespace op = engine::op;
namespace st = engine::status;

constexpr std::string_view kOuvrir = "Lib_Data_Pervasive:FichierPervasiveOuvrir";
constexpr std::string_view kFermer = "Lib_Data_Pervasive:FichierPervasiveFermer";
constexpr std::string_view kOuverture = "Lib_Data_Pervasive:OuvertureFichierBTrieve";
constexpr std::string_view kFermeture = "Lib_Data_Pervasive:FermetureFichierBTrieve";
constexpr std::string_view kCreation = "Lib_Data_Pervasive:CreationStructureVide";

// The engine reads a path from the key buffer up to its first byte 0; a longer path could
// only reach it cut, and name another file.
bool FitsKeyBuffer(std::string_view path) {
    return path.size() < engine::kKeyBufferSize;
}

PositionBlock BlankBlock() {
    PositionBlock block;
    block.fill(static_cast<std::uint8_t>(' '));
    return block;
}

// A directory search for the path: a file or a folder of that name (the engine refuses the
// latter with its own status).
bool EntryExists(std::string_view path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(NativePath(path), error));
}

bool IsCreatedWhenMissing(int file) {
    return file >= 40 && file <= 49;
}

}  // namespace

PervasiveFiles::PervasiveFiles(DbState& db, const LoadStations& stations, engine::BtrCall& engine,
                               BtrieveReport& report, FileOps& files, TraceSink& trace,
                               ErrorHandler& errors)
    : m_db(db),
      m_stations(stations),
      m_engine(engine),
      m_report(report),
      m_files(files),
      m_trace(trace),
      m_errors(errors) {}

bool PervasiveFiles::Present(std::string_view path) {
    return m_db.WasOpened(path) || m_files.File_Exist(path, kOuvrir, true);
}

std::uint8_t* PervasiveFiles::DataBufferFor(int file, std::uint32_t& length) {
    if (RecordBuffer* record = m_db.Records.Find(file)) {
        length = std::min(length, static_cast<std::uint32_t>(record->Size()));
        return record->Data();
    }
    m_scratch.assign(std::max<std::size_t>(length, 1), 0);
    return m_scratch.data();
}

void PervasiveFiles::FichierPervasiveOuvrir(std::int16_t base, std::int16_t firstStation,
                                            std::int16_t lastStation, std::int16_t file,
                                            std::int16_t openMode) {
    m_errors.Guard(kOuvrir, [&] {
        m_db.InitStructureFichierBTR(file, true);
        for (std::int32_t station = firstStation; station <= lastStation; ++station) {
            const std::string name = m_db.NomFichierBTR(file, station - 1);
            const std::string path = CheckRep(m_stations.DossierDeStation(station)) + name;
            m_db.CheminFichierBTR(base, file, station - 1) = path;
            m_db.SetFichierOuvertBTR(base, station, file, false);
            if (!Present(path) && IsCreatedWhenMissing(file)) {
                m_trace.TraceLog(base, -1, -1,
                                 "File: " + path + " not found |Create empty structure");
                CreationStructureVide(path);
            }
            if (!Present(path)) {
                continue;
            }
            std::int32_t length = StructureRecordLength(m_db.StructureBTR);
            if (OuvertureFichierBTrieve(base, file, path, length, station, openMode)) {
                m_trace.TraceLog(base, file, -1, "Open: " + path);
                m_db.SetFichierOuvertBTR(base, station, file, true);
                m_db.ListeFichiersOuverts.insert(path);
            } else {
                m_trace.TraceLog(base, file, -1, "Err: Unable to open: " + path);
            }
        }
    });
}

bool PervasiveFiles::OuvertureFichierBTrieve(std::int16_t base, std::int16_t file,
                                             std::string_view path, std::int32_t& dataLength,
                                             std::int32_t station, std::int16_t openMode) {
    bool opened = false;
    m_errors.Guard(kOuverture, [&] {
        if (!EntryExists(path)) {
            m_db.StatutBTR = st::kFileNotFound;
        } else if (!FitsKeyBuffer(path)) {
            m_db.StatutBTR = st::kInvalidFileName;
        } else {
            PositionBlock block = BlankBlock();
            auto length = static_cast<std::uint32_t>(std::max(dataLength, 0));
            std::uint8_t* data = DataBufferFor(file, length);
            KeyBuffer key(path);
            m_db.StatutBTR = m_engine.Call(op::kOpen, block.data(), data, length, key.Data(),
                                           static_cast<std::uint8_t>(engine::kKeyBufferSize),
                                           static_cast<std::int8_t>(openMode));
            if (m_db.StatutBTR == st::kSuccess) {
                m_db.PositionBTR(base, station, file) = block;
                dataLength = static_cast<std::int32_t>(length);
                m_db.Longueur(file) = static_cast<std::uint16_t>(length);
                opened = true;
                return;
            }
        }
        const std::int16_t status = m_db.StatutBTR;
        m_db.AddHistory(base, "File:" + N2S(file, 2, 0, "0") +
                                  (status == st::kFileNotFound ? " (" + std::string(path) + ")"
                                                               : std::string()) +
                                  " Station:" + std::to_string(station) + " OP:" + "00" +
                                  " K:" + "00" + " [" + ClearChaine(path, &m_errors) + "]");
        m_report.ErreurBTrieve(base, file, op::kOpen, path, kOuverture);
    });
    return opened;
}

void PervasiveFiles::FichierPervasiveFermer(std::int16_t base, std::int16_t firstStation,
                                            std::int16_t lastStation, std::int16_t file) {
    m_errors.Guard(kFermer, [&] {
        for (std::int32_t station = firstStation; station <= lastStation; ++station) {
            if (!m_db.FichierOuvertBTR(base, station, file)) {
                continue;
            }
            const std::string path = m_db.CheminFichierBTR(base, file, station - 1);
            std::int32_t length = StructureRecordLength(m_db.StructureBTR);
            if (FermetureFichierBTrieve(base, file, path, length, station)) {
                m_db.SetFichierOuvertBTR(base, station, file, false);
            } else {
                m_trace.TraceLog(base, -1, -1, "Unable to close: " + path);
            }
        }
    });
}

bool PervasiveFiles::FermetureFichierBTrieve(std::int16_t base, std::int16_t file,
                                             std::string_view path, std::int32_t& dataLength,
                                             std::int32_t station) {
    bool closed = false;
    m_errors.Guard(kFermeture, [&] {
        PositionBlock block = BlankBlock();
        auto length = static_cast<std::uint32_t>(std::max(dataLength, 0));
        std::uint8_t* data = DataBufferFor(file, length);
        KeyBuffer key(path);
        m_db.StatutBTR = m_engine.Call(op::kStop, block.data(), data, length, key.Data(),
                                       static_cast<std::uint8_t>(engine::kKeyBufferSize), 0);
        if (m_db.StatutBTR != st::kSuccess) {
            m_report.ErreurBTrieve(base, file, op::kClose, path, kFermeture);
            return;
        }
        m_db.PositionBTR(base, station, file) = block;
        dataLength = static_cast<std::int32_t>(length);
        m_db.Longueur(file) = static_cast<std::uint16_t>(length);
        closed = true;
    });
    return closed;
}

std::int16_t PervasiveFiles::CreationStructureVide(std::string_view path) {
    m_errors.Guard(kCreation, [&] {
        if (!FitsKeyBuffer(path)) {
            m_db.StatutBTR = st::kInvalidFileName;
            return;
        }
        PositionBlock block = BlankBlock();
        StructureBuffer structure = m_db.StructureBTR;
        auto length = static_cast<std::uint32_t>(structure.size());
        KeyBuffer key(path);
        m_db.StatutBTR = m_engine.Call(op::kCreate, block.data(), structure.data(), length,
                                       key.Data(), static_cast<std::uint8_t>(path.size()), 0);
    });
    return m_db.StatutBTR;
}

}  // namespace ks
