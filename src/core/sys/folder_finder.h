// Finding and choosing the suite's configuration folders. A configured folder that is missing
// is replaced by the suite's own configuration folder (the folder of its menu program, or the
// suite's default folder under the program's folder), created when needed; the options window
// lets the operator choose a folder through the folder chooser.
#pragma once

#include <string>
#include <string_view>

namespace ks {

class Dialogs;
class ErrorHandler;
class FolderOps;
class Registry;
class TraceSink;

class FolderFinder {
  public:
    // `dossierConfig` is the program's folder, ending with "/": the suite's default folder,
    // "C:\Velmora\Kestrel\" on Windows, is "Velmora/Kestrel/" under it.
    FolderFinder(ErrorHandler& errors, TraceSink& trace, FolderOps& folderOps, Registry& registry,
                 Dialogs& dialogs, std::string dossierConfig);

    // True when `folder` exists. When it does not and it is not a network path ("//server/"),
    // it is replaced by the suite's configuration folder, which is created when missing.
    // Every folder searched for is appended to `tried`, followed by ",,". A blank folder gives
    // false and changes nothing.
    bool FolderFound(std::string& folder, std::string& tried);

    // Shows the folder chooser at `currentFolder` with `title` ("Sélectionnez un dossier: "
    // when blank). The chosen folder goes through FolderFound and is created when missing;
    // "" when the operator cancels.
    std::string FolderSelect(std::string_view currentFolder, std::string_view title);

    // The suite's configuration folder: the folder of KS3_Menu.exe as the registry records it
    // (HKEY_LOCAL_MACHINE App Paths) + "Config/", or the suite's default folder + "Config/".
    std::string SuiteConfigFolder();

  private:
    ErrorHandler& m_errors;
    TraceSink& m_trace;
    FolderOps& m_folderOps;
    Registry& m_registry;
    Dialogs& m_dialogs;
    std::string m_dossierConfig;
};

}  // namespace ks
