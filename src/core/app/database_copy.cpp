#include "core/app/database_copy.h"

#include <algorithm>
#include <array>
#include <deque>
#include <filesystem>
#include <system_error>

#include "core/app/table_copy.h"
#include "core/base/dialogs.h"
#include "core/base/error_handler.h"
#include "core/base/event_pump.h"
#include "core/base/load_view.h"
#include "core/base/trace_sink.h"
#include "core/settings/backup_settings.h"
#include "core/settings/ini_access.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "core/sys/server_share.h"
#include "core/sys/shell_file_operation.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"

namespace ks {
namespace {

constexpr std::string_view kCaller = "Frm_Main:DataRecopie";
constexpr std::string_view kSystemFile = "KS3_Systeme.ini";
constexpr int kLastSlot = 60;
constexpr int kProgressMax = 100;
// Copies of the server's tables running at once.
constexpr std::size_t kCopiesAhead = 3;

// FDAT053 is copied when the server has it, the other tables of the load always.
bool IsCopied(int slot) {
    return slot == table::kPlayerLog ||
           std::find(kLoadTables.begin(), kLoadTables.end(), slot) != kLoadTables.end();
}

bool FolderExists(const std::string& folder) {
    std::error_code error;
    return std::filesystem::is_directory(NativePath(folder), error);
}

// "FdatA22.bt6, 1,25 Mo": the file being copied and what of it is done.
std::string CopyDetail(FileOps& files, const std::string& source, std::uint64_t bytes) {
    return source.substr(source.rfind('/') + 1) + ", " + files.LibSize(static_cast<double>(bytes));
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
        errors.Guard(kCaller, [&] { RemoveAbandonedWork(folders.intermediaire); });
        const Letters letters{serverLetter, otherLetter};
        // The copies of the next tables run while the one before is waited for, checked and
        // traced: on two cores the checks of a large table and of the smaller ones after it
        // take the time of the large one.
        std::deque<SlotCopy> ahead;
        int begun = -1;
        const auto beginAhead = [&] {
            while (ahead.size() < kCopiesAhead) {
                std::optional<SlotCopy> copy = BeginFrom(begun + 1, folders, letters);
                if (!copy) {
                    break;
                }
                begun = copy->slot;
                ahead.push_back(std::move(*copy));
            }
        };
        for (int slot = 0; slot <= kLastSlot; ++slot) {
            errors.Guard(kCaller, [&] {
                m_services.view.SetCopyProgress(std::min(2 * slot, kProgressMax));
            });
            beginAhead();
            if (!ahead.empty() && ahead.front().slot == slot) {
                SlotCopy current = std::move(ahead.front());
                ahead.pop_front();
                beginAhead();
                if (FinishSlot(current)) {
                    copied.PresenceFichier53 = true;
                }
            }
            errors.Guard(kCaller, [&] { m_services.pump.DoEvents(); });
            if (m_services.share.Stopping()) {
                // Whatever was copied may not reach a transfer that would not run to its end.
                m_services.trace.TraceLog(
                    -1, -1, -1, "Err: Files copy abandoned: the program is stopping", true);
                status = -1;
                break;
            }
        }
        errors.Guard(kCaller, [&] {
            m_services.view.ShowCopyDetail("");
            m_services.view.ShowCopy(false);
        });
    }
    errors.Guard(kCaller, [&] { m_services.view.SetCopyProgress(0); });
    stations.DossierStation2 = folders.dataLocal;
    return copied;
}

bool DatabaseCopy::CheckFolders(Folders& folders) {
    ServerShare& share = m_services.share;
    const auto serverFolder = [&](const std::string& folder) -> std::optional<bool> {
        if (IsBlank(folder)) {
            return false;
        }
        const std::optional<bool> found = share.IsFolder(folder);
        if (!found) {
            TraceNoAnswer(folder);
        }
        return found;
    };
    if (!CheckFolder(folders.configServeur,
                     "Le dossier Config sur le serveur n'est pas paramétré"_cp,
                     "Le dossier Config sur le serveur n'existe pas:",
                     serverFolder(folders.configServeur))) {
        return false;
    }
    // A settings file that does not answer leaves its folder unusable, as a missing one.
    const std::optional<std::string> dataServeur = ServerDataFolder(folders.configServeur);
    if (!dataServeur) {
        return CheckFolder(folders.configServeur, "",
                           "Le dossier Config sur le serveur n'existe pas:", false);
    }
    folders.dataServeur = *dataServeur;
    if (!CheckFolder(folders.dataServeur,
                     "Le dossier des données sur le serveur n'est pas paramétré"_cp,
                     "Le dossier des données sur le serveur n'existe pas:"_cp,
                     serverFolder(folders.dataServeur))) {
        return false;
    }
    if (!CheckFolder(
            folders.configLocal, "Le dossier Config en local n'est pas paramétré"_cp,
            "Le dossier Config en local n'existe pas:", FolderExists(folders.configLocal))) {
        return false;
    }
    folders.dataLocal = DataFolder(folders.configLocal);
    if (!CheckFolder(folders.dataLocal, "Le dossier des données en local n'est pas paramétré"_cp,
                     "Le dossier des données en local n'existe pas:"_cp,
                     FolderExists(folders.dataLocal))) {
        return false;
    }
    return CheckFolder(folders.intermediaire, "Le dossier intermédiaire n'est pas paramétré"_cp,
                       "Le dossier intermédiaire n'existe pas:"_cp,
                       FolderExists(folders.intermediaire));
}

bool DatabaseCopy::CheckFolder(const std::string& folder, std::string_view notConfigured,
                               std::string_view missing, std::optional<bool> exists) {
    std::string message;
    if (IsBlank(folder)) {
        message = notConfigured;
    } else if (!exists.value_or(false)) {
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
        folder = CheckRep(m_services.ini.LectureIni(configFolder + std::string(kSystemFile),
                                                    "Base_01", "Dossier_Data", ""));
    });
    return folder;
}

std::optional<std::string> DatabaseCopy::ServerDataFolder(const std::string& configFolder) {
    const std::string file = configFolder + std::string(kSystemFile);
    const std::optional<std::string> bytes = m_services.share.ReadSmallFile(file);
    if (!bytes) {
        TraceNoAnswer(file);
        return std::nullopt;
    }
    std::string folder;
    m_services.errors.Guard(kCaller, [&] {
        folder = CheckRep(m_services.ini.ValueInText(*bytes, "Base_01", "Dossier_Data", ""));
    });
    return folder;
}

void DatabaseCopy::TraceNoAnswer(const std::string& path) {
    m_services.trace.TraceLog(-1, -1, -1, ServerShare::NoAnswerLine(path), true);
}

void DatabaseCopy::RemoveAbandonedWork(const std::string& folder) {
    // The work files of copies (table_copy.cpp) and of live tables' snapshots, with their
    // side files.
    for (const char* pattern : {".ks-copy-*", ".ks-snapshot-*"}) {
        for (const std::string& name : FileOps::ListFiles(folder, pattern)) {
            std::error_code ignored;
            std::filesystem::remove(NativePath(folder + name), ignored);
        }
    }
}

std::optional<DatabaseCopy::SlotCopy> DatabaseCopy::BeginFrom(int first, const Folders& folders,
                                                              const Letters& letters) {
    ErrorHandler& errors = m_services.errors;
    for (int slot = first; slot <= kLastSlot; ++slot) {
        if (!IsCopied(slot)) {
            continue;
        }
        SlotCopy copy;
        copy.slot = slot;
        errors.Guard(kCaller, [&] {
            // A shared table is copied under the same name, a table of the server station's
            // own under the other station's letter.
            if (m_catalogue[static_cast<std::size_t>(slot)].ParStation != "O") {
                const std::string name = "Fdat" + N2S(slot, 3, 0, "0", &errors) + ".bt6";
                copy.source = folders.dataServeur + name;
                copy.target = folders.intermediaire + name;
            } else {
                const std::string number = N2S(slot, 2, 0, "0", &errors) + ".bt6";
                copy.source = folders.dataServeur + "Fdat" + letters.server + number;
                copy.target = folders.intermediaire + "Fdat" + letters.other + number;
            }
            copy.started = m_services.files.Ticks();
            copy.call = m_services.share.Start<TableCopy>(
                [source = copy.source, folder = NativePath(copy.target).parent_path(),
                 afterRead = m_afterRead](ShareProgress& progress) {
                    return CopyServerTable(source, folder, progress, afterRead);
                });
        });
        return copy;
    }
    return std::nullopt;
}

bool DatabaseCopy::FinishSlot(SlotCopy& copy) {
    ErrorHandler& errors = m_services.errors;
    TraceSink& trace = m_services.trace;
    FileOps& files = m_services.files;
    const std::string& source = copy.source;
    const std::string& target = copy.target;
    TableCopy result;
    // Shown from the first look, bytes or not: a table stuck at its first byte is the one named.
    std::optional<std::uint64_t> shown;
    ShareAnswer answer = ShareAnswer::kStopped;
    errors.Guard(kCaller, [&] {
        answer = m_services.share.Finish(copy.call, result, [&](std::uint64_t bytes) {
            if (shown != bytes) {
                shown = bytes;
                m_services.view.ShowCopyDetail(CopyDetail(files, source, bytes));
            }
        });
    });
    const std::uint64_t now = files.Ticks();
    const std::uint64_t elapsed = now >= copy.started ? now - copy.started : 0;
    if (answer == ShareAnswer::kStopped || IsBlank(source)) {
        return false;
    }
    const bool answered = answer == ShareAnswer::kAnswered;
    const bool missing = answered && result.outcome == TableCopy::Outcome::kMissing;
    if (copy.slot == table::kPlayerLog) {
        errors.Guard(kCaller, [&] {
            if (!answered) {
                TraceNoAnswer(source);
            }
            if (answered && !missing) {
                trace.Trace("PbBFDATA053Present = True");
            } else {
                trace.Trace("PbBFDATA053Present = False |File not found: " + source);
            }
        });
        if (!answered || missing) {
            return false;
        }
    }
    errors.Guard(kCaller, [&] {
        if (missing) {
            trace.Trace("Err: Server File not found: " + source);
            return;
        }
        // The last load's copy goes whatever becomes of this one: a table the server did not
        // hand over whole is not transferred at all.
        if (files.File_Exist(target, kCaller)) {
            files.File_Delete(target, kCaller);
            if (files.File_Exist(target, kCaller)) {
                trace.Trace("Err: Unable to delete Temporary File: " + target);
            }
        }
        if (!answered) {
            TraceNoAnswer(source);
        } else if (result.outcome == TableCopy::Outcome::kEmpty) {
            files.TraceSourceNotFound(source);
        } else if (result.plain) {
            const std::int32_t code =
                result.error ? ShellResultCode(result.error, ShellOp::Copy, false) : kShellOk;
            files.TraceCopy(source, target, code, elapsed);
        }
        if (!result.reason.empty()) {
            trace.TraceLog(-1, -1, -1, result.reason, true);
        }
        if (result.outcome == TableCopy::Outcome::kCopied &&
            Place(copy.slot, source, target, result.work, result.recordLength)) {
            trace.Trace("Copy: " + source + " to " + target);
        } else {
            trace.Trace("Err: Unable to copy: " + source + " to " + target);
        }
    });
    return copy.slot == table::kPlayerLog;
}

bool DatabaseCopy::Place(int slot, const std::string& source, const std::string& target,
                         const std::filesystem::path& work, std::uint16_t recordLength) {
    namespace fs = std::filesystem;
    std::error_code error;
    const auto expected = m_catalogue[static_cast<std::size_t>(slot)].LongueurEnreg;
    if (recordLength != expected) {
        m_services.trace.TraceLog(-1, -1, -1,
                                  "Err: Record length " + std::to_string(recordLength) +
                                      " instead of " + std::to_string(expected) + ": " + source,
                                  true);
        fs::remove(work, error);
        return false;
    }
    error = PutInPlaceOf(work, NativePath(target));
    if (error) {
        m_services.files.TraceCopy(source, target, ShellResultCode(error, ShellOp::Copy, false), 0);
        fs::remove(work, error);
        return false;
    }
    return true;
}

}  // namespace ks
