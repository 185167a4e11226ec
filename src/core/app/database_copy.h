// The first phase of a load: checks the five folders a load needs, tells the two stations and
// their folders, and copies the server station's table files into the intermediate folder
// under the letter of a station the backup machine does not use itself, so that the transfer
// can open the copy beside the local station's files. The local station's files are never
// touched here. Everything that touches the server's folders goes through the share's
// bounded calls (server_share.h): a hung share costs a failed copy, never a frozen window.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/app/table_copy.h"
#include "core/db/catalogue.h"
#include "core/sys/server_share.h"
#include "core/sys/watched_copy.h"
#include "core/transfer/copied_set.h"

namespace ks {

class BackupSettings;
class Dialogs;
class ErrorHandler;
class EventPump;
class FileOps;
class IniAccess;
class LoadView;
class TraceSink;

class DatabaseCopy {
  public:
    struct Services {
        BackupSettings& settings;
        IniAccess& ini;
        FileOps& files;
        Dialogs& dialogs;
        LoadView& view;
        TraceSink& trace;
        ErrorHandler& errors;
        EventPump& pump;
        ServerShare& share;
    };

    explicit DatabaseCopy(Services services);

    // The main window's caption, the title of the folder messages.
    void SetCaption(std::string caption) { m_caption = std::move(caption); }
    // Runs after each piece of a server file read (tests change the source there).
    void SetAfterRead(AfterRead afterRead) { m_afterRead = std::move(afterRead); }

    // Copies the server's table files of backup set `set` (1 or 2). `status` comes back 0
    // when the copy phase ran, whatever happened to single files (each is traced), and -1
    // when a folder is not configured or missing (the operator is told; nothing is copied) or
    // the program began to stop during the copy (it is abandoned: no transfer may follow).
    // Returns the stations, their folders and whether FDAT053 was copied, for the transfer.
    CopiedSet DataRecopie(std::int16_t set, std::int16_t& status);

  private:
    struct Folders {
        std::string configServeur;
        std::string dataServeur;
        std::string configLocal;
        std::string intermediaire;
        std::string dataLocal;
    };

    // The folder checks in their order; the first failure is shown and ends the checks.
    bool CheckFolders(Folders& folders);
    bool CheckFolder(const std::string& folder, std::string_view notConfigured,
                     std::string_view missing, std::optional<bool> exists);
    // Dossier_Data of [Base_01] in the "KS3_Systeme.ini" of `configFolder`, the server's read
    // through the share: nullopt when it did not answer.
    std::string DataFolder(const std::string& configFolder);
    std::optional<std::string> ServerDataFolder(const std::string& configFolder);
    struct Letters {
        char server;  // of the server's station
        char other;   // of the station the copies take
    };
    // One table of the copy list, its copy started on the share.
    struct SlotCopy {
        int slot = -1;
        std::string source;
        std::string target;
        ShareCall<TableCopy> call;
        std::uint64_t started = 0;  // the file operations' ticks
    };
    // Starts the copy of the first table of the list from slot `first` on; none past the last.
    std::optional<SlotCopy> BeginFrom(int first, const Folders& folders, const Letters& letters);
    // Waits for the copy of one table, traces it and puts it in the target's place; true when
    // the table was FDAT053, there to copy.
    bool FinishSlot(SlotCopy& copy);
    // Puts the checked copy in the target's place: false, with the reason traced, when its
    // records are of another length than the catalogue's (the server holds another table
    // under that name, and every song looked up in it would be missing, so deleted from the
    // local station) or it cannot take the target's place.
    bool Place(int slot, const std::string& source, const std::string& target,
               const std::filesystem::path& work, std::uint16_t recordLength);
    void TraceNoAnswer(const std::string& path);
    // Work files of copies given up in earlier loads, whose threads may never return.
    void RemoveAbandonedWork(const std::string& folder);

    Services m_services;
    std::string m_caption;
    CatalogueTable m_catalogue;
    AfterRead m_afterRead;
};

}  // namespace ks
