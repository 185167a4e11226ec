// The first phase of a load: checks the five folders a load needs, tells the two stations and
// their folders, and copies the server station's table
// files into the intermediate folder under the letter of a station the backup machine does
// not use itself, so that the transfer can open the copy beside the local station's files.
// The local station's files are never touched here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/db/catalogue.h"
#include "core/transfer/copied_set.h"

namespace ks::engine {
class BtrCall;
}  // namespace ks::engine

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
        engine::BtrCall& engine;  // reads the shape of each copy
    };

    explicit DatabaseCopy(Services services);

    // The main window's caption, the title of the folder messages.
    void SetCaption(std::string caption) { m_caption = std::move(caption); }

    // Copies the server's table files of backup set `set` (1 or 2). `status` comes back 0
    // when the copy phase ran, whatever happened to single files (each is traced), and -1
    // when a folder is not configured or missing (the operator is told; nothing is copied).
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
                     std::string_view missing);
    // Dossier_Data of [Base_01] in the "KS3_Systeme.ini" of `configFolder`.
    std::string DataFolder(const std::string& configFolder);
    // True when FDAT053 was there to copy.
    bool CopySlot(int slot, const Folders& folders, char serverLetter, char otherLetter);

    // One table file of the server onto its copy in the intermediate folder; true when the
    // copy is there. The one place a table file is copied: a closed table byte for byte, a
    // table the server has open as a consistent snapshot with its log, a genuine file of
    // the suite's record manager converted into a table of ours (a refusal is traced).
    bool CopyTableFile(const std::string& source, const std::string& target);
    // False, with the reason traced, when the copy of `slot` holds records of another length
    // than the catalogue's: the server holds another table under that name, and every song
    // looked up in it would be missing, so deleted from the local station.
    bool HasCatalogueShape(int slot, const std::string& source, const std::string& target);

    Services m_services;
    std::string m_caption;
    CatalogueTable m_catalogue;
};

}  // namespace ks
