#include "core/app/database_copy.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

#include "core/base/dialogs.h"
#include "core/base/error_handler.h"
#include "core/base/event_pump.h"
#include "core/base/load_view.h"
#include "core/base/trace_sink.h"
#include "core/db/read_only_table.h"
#include "core/settings/backup_settings.h"
#include "core/settings/ini_access.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "core/sys/text_helpers.h"
#include "engine/btr_call.h"
#include "engine/btr_codes.h"
#include "engine/file_kind.h"
#include "engine/genuine/genuine_import.h"
#include "engine/table_snapshot.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"

namespace ks {
namespace {

constexpr std::string_view kCaller = "Frm_Main:DataRecopie";
constexpr int kLastSlot = 60;
constexpr int kProgressMax = 100;

// FDAT053 is copied when the server has it, the other tables of the load always.
bool IsCopied(int slot) {
    return slot == table::kPlayerLog ||
           std::find(kLoadTables.begin(), kLoadTables.end(), slot) != kLoadTables.end();
}

// The record length a table's statistics start with, or 0 when the table could not be
// opened or asked (its open in the transfer then reports why).
std::uint32_t RecordLength(engine::BtrCall& engine, const std::string& table) {
    ReadOnlyTable copy(engine, table);
    std::array<std::uint8_t, 4096> statistics{};
    auto length = static_cast<std::uint32_t>(statistics.size());
    if (!copy.IsOpen() ||
        copy.Call(engine::op::kStat, statistics.data(), length) != engine::status::kSuccess ||
        length < 2) {
        return 0;
    }
    return static_cast<std::uint32_t>(statistics[0] | (statistics[1] << 8U));
}

bool FolderExists(const std::string& folder) {
    std::error_code error;
    return std::filesystem::is_directory(NativePath(folder), error);
}

}  // namespace

DatabaseCopy::DatabaseCopy(Services services) : m_services(services) {
    InitGeneralData(m_catalogue);
}

CopiedSet DatabaseCopy::DataRecopie(std::int16_t set, std::int16_t& status) {
    ErrorHandler& errors = m_services.errors;
    BackupSettings& settings = m_services.settings;
    CopiedSet copied;
    LoadStations& stations = copied.stations;

    Folders folders;
    int serverLine = -1;
    int localLine = -1;
    errors.Guard(kCaller, [&] {
        folders.configServeur = CheckRep(settings.TexteDossierData(kDossierConfigServeur));
        folders.configLocal = CheckRep(settings.TexteDossierData(kDossierConfigLocal));
        folders.intermediaire = CheckRep(settings.TexteDossierData(kDossierTemporaire));
    });
    errors.Guard(kCaller, [&] {
        const bool second = set == 2;
        serverLine = settings.ComboStation(second ? kStationServeur2 : kStationServeur).ListIndex();
        localLine = settings.ComboStation(second ? kStationLocal2 : kStationLocal).ListIndex();
    });
    // Station n is line n - 1 and has the letter of code 64 + n.
    const auto serverLetter = static_cast<char>('A' + serverLine);
    const auto localNumber = static_cast<std::int16_t>(localLine + 1);
    const char otherLetter = static_cast<char>('A' + localLine) == 'A' ? 'B' : 'A';
    errors.Guard(kCaller, [&] {
        stations.NoStation2 = localNumber;
        stations.NoStation1 = static_cast<std::int16_t>(localNumber == 1 ? 2 : 1);
        stations.DossierStation1 = folders.intermediaire;
    });

    status = 0;
    errors.Guard(kCaller, [&] { m_services.view.SetCopyProgress(0); });

    if (!CheckFolders(folders)) {
        status = -1;
    } else {
        errors.Guard(kCaller, [&] { m_services.view.ShowCopy(true); });
        for (int slot = 0; slot <= kLastSlot; ++slot) {
            errors.Guard(kCaller, [&] {
                m_services.view.SetCopyProgress(std::min(2 * slot, kProgressMax));
            });
            if (CopySlot(slot, folders, serverLetter, otherLetter)) {
                copied.PresenceFichier53 = true;
            }
            errors.Guard(kCaller, [&] { m_services.pump.DoEvents(); });
        }
        errors.Guard(kCaller, [&] { m_services.view.ShowCopy(false); });
    }
    errors.Guard(kCaller, [&] { m_services.view.SetCopyProgress(0); });
    stations.DossierStation2 = folders.dataLocal;
    return copied;
}

bool DatabaseCopy::CheckFolders(Folders& folders) {
    if (!CheckFolder(folders.configServeur,
                     "Le dossier Config sur le serveur n'est pas paramétré"_cp,
                     "Le dossier Config sur le serveur n'existe pas:")) {
        return false;
    }
    folders.dataServeur = DataFolder(folders.configServeur);
    if (!CheckFolder(folders.dataServeur,
                     "Le dossier des données sur le serveur n'est pas paramétré"_cp,
                     "Le dossier des données sur le serveur n'existe pas:"_cp)) {
        return false;
    }
    if (!CheckFolder(folders.configLocal, "Le dossier Config en local n'est pas paramétré"_cp,
                     "Le dossier Config en local n'existe pas:")) {
        return false;
    }
    folders.dataLocal = DataFolder(folders.configLocal);
    if (!CheckFolder(folders.dataLocal, "Le dossier des données en local n'est pas paramétré"_cp,
                     "Le dossier des données en local n'existe pas:"_cp)) {
        return false;
    }
    return CheckFolder(folders.intermediaire, "Le dossier intermédiaire n'est pas paramétré"_cp,
                       "Le dossier intermédiaire n'existe pas:"_cp);
}

bool DatabaseCopy::CheckFolder(const std::string& folder, std::string_view notConfigured,
                               std::string_view missing) {
    std::string message;
    if (IsBlank(folder)) {
        message = notConfigured;
    } else if (!FolderExists(folder)) {
        message = std::string(missing) + "\r\n\r\n" + folder;
    } else {
        return true;
    }
    m_services.errors.Guard(kCaller, [&] {
        m_services.dialogs.MessageBox(MsgIcon::Warning, MsgButtons::Ok, m_caption, message);
    });
    return false;
}

std::string DatabaseCopy::DataFolder(const std::string& configFolder) {
    std::string folder;
    m_services.errors.Guard(kCaller, [&] {
        folder = CheckRep(m_services.ini.LectureIni(configFolder + "KS3_Systeme.ini", "Base_01",
                                                    "Dossier_Data", ""));
    });
    return folder;
}

bool DatabaseCopy::CopySlot(int slot, const Folders& folders, char serverLetter, char otherLetter) {
    ErrorHandler& errors = m_services.errors;
    TraceSink& trace = m_services.trace;
    FileOps& files = m_services.files;
    std::string source;
    std::string target;
    bool present53 = false;
    errors.Guard(kCaller, [&] {
        if (!IsCopied(slot)) {
            return;
        }
        // A shared table is copied under the same name, a table of the server station's own
        // under the other station's letter.
        if (m_catalogue[static_cast<std::size_t>(slot)].ParStation != "O") {
            const std::string name = "Fdat" + N2S(slot, 3, 0, "0", &errors) + ".bt6";
            source = folders.dataServeur + name;
            target = folders.intermediaire + name;
        } else {
            const std::string number = N2S(slot, 2, 0, "0", &errors) + ".bt6";
            source = folders.dataServeur + "Fdat" + serverLetter + number;
            target = folders.intermediaire + "Fdat" + otherLetter + number;
        }
    });
    if (slot == table::kPlayerLog) {
        errors.Guard(kCaller, [&] {
            present53 = files.File_Exist(source, kCaller);
            if (present53) {
                trace.Trace("PbBFDATA053Present = True");
            } else {
                trace.Trace("PbBFDATA053Present = False |File not found: " + source);
                source.clear();
                target.clear();
            }
        });
    }
    if (IsBlank(source)) {
        return present53;
    }
    errors.Guard(kCaller, [&] {
        if (!files.File_Exist(source, kCaller)) {
            trace.Trace("Err: Server File not found: " + source);
            return;
        }
        if (files.File_Exist(target, kCaller)) {
            files.File_Delete(target, kCaller);
            if (files.File_Exist(target, kCaller)) {
                trace.Trace("Err: Unable to delete Temporary File: " + target);
            }
        }
        if (CopyTableFile(source, target) && HasCatalogueShape(slot, source, target)) {
            trace.Trace("Copy: " + source + " to " + target);
        } else {
            trace.Trace("Err: Unable to copy: " + source + " to " + target);
        }
    });
    return present53;
}

bool DatabaseCopy::HasCatalogueShape(int slot, const std::string& source,
                                     const std::string& target) {
    const auto expected =
        static_cast<std::uint32_t>(m_catalogue[static_cast<std::size_t>(slot)].LongueurEnreg);
    const std::uint32_t found = RecordLength(m_services.engine, target);
    if (found == 0 || found == expected) {
        return true;
    }
    m_services.trace.TraceLog(-1, -1, -1,
                              "Err: Record length " + std::to_string(found) + " instead of " +
                                  std::to_string(expected) + ": " + source,
                              true);
    // Nothing of it may reach the transfer.
    m_services.files.File_Delete(target, kCaller);
    return false;
}

bool DatabaseCopy::CopyTableFile(const std::string& source, const std::string& target) {
    switch (engine::KindOfTableFile(NativePath(source))) {
        case engine::TableFileKind::kGenuine: {
            const engine::genuine::ImportResult result =
                engine::genuine::ImportGenuineTable(NativePath(source), NativePath(target));
            if (result.status != 0) {
                m_services.trace.TraceLog(
                    -1, -1, -1, "Err: Not converted: " + Utf8ToCp1252(result.reason), true);
            }
            return result.status == 0;
        }
        case engine::TableFileKind::kOursWithLiveLog: {
            const engine::SnapshotResult result = engine::CopyTableSnapshot(source, target);
            if (!result.Copied()) {
                m_services.trace.TraceLog(-1, -1, -1, "Err: No consistent copy: " + result.reason,
                                          true);
            }
            return result.Copied();
        }
        case engine::TableFileKind::kOurs:
        case engine::TableFileKind::kUnknown:
            break;
    }
    return m_services.files.File_Copy(source, target);
}

}  // namespace ks
