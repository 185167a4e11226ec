// Where the configuration lives: the suite's configuration file, the settings folder of the
// backup broadcaster with the names of its INI files, the one-time move of an older settings
// file out of the Windows folder, and the advice about the classic Windows look, shown once
// per machine on systems older than Vista.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace ks {

class Dialogs;
class ErrorHandler;
class FileOps;
class FolderOps;
class IniAccess;
class Registry;
class SystemInfo;
struct ConfigFolders;

// The base name of the settings files: "KS_Diffuseurs_Secours" + suffix + extension.
inline constexpr std::string_view kSettingsBaseName = "KS_Diffuseurs_Secours";

class ConfigFiles {
  public:
    // The version code of the operating system (OsVersionCode).
    using OsVersionSource = std::function<std::int32_t()>;

    ConfigFiles(ErrorHandler& errors, ConfigFolders& folders, SystemInfo& system, FileOps& files,
                FolderOps& folderOps, IniAccess& ini, Registry& registry, Dialogs& dialogs);

    // The main window's caption, the title of the theme advice.
    void SetCaption(std::string caption) { m_caption = std::move(caption); }

    // Replaces the system's OsVersionCode (always 10 on Linux), so that the older systems'
    // path can run.
    void SetOsVersionSource(OsVersionSource source) { m_osVersion = std::move(source); }

    // DossierConfig + "Settings/KS3_Config.ini". On systems older than Vista it also makes
    // sure the Settings folder exists and gives the theme advice. `unused` is ignored.
    std::string DetermineDossierConfig(std::int16_t unused = 1);

    // Sets DossierSettings to DossierConfig + "Settings/KS_Diffuseurs_Secours/", creates it,
    // and moves an older settings file from the Windows folder when there is none yet.
    void NomDossierSettings();

    // DossierSettings + "KS_Diffuseurs_Secours" + suffix + extension, naming the settings
    // folder first when it is still blank.
    std::string NomFichierSettings(std::string_view suffix, std::string_view extension);

  private:
    std::int32_t OsVersionCode();
    void ThemeAdvice(const std::string& configFile);

    ErrorHandler& m_errors;
    ConfigFolders& m_folders;
    SystemInfo& m_system;
    FileOps& m_files;
    FolderOps& m_folderOps;
    IniAccess& m_ini;
    Registry& m_registry;
    Dialogs& m_dialogs;
    std::string m_caption;
    OsVersionSource m_osVersion;
};

}  // namespace ks
