#include "core/settings/config_files.h"

#include "core/base/dialogs.h"
#include "core/base/error_handler.h"
#include "core/settings/config_folders.h"
#include "core/settings/ini_access.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "core/sys/registry.h"
#include "core/sys/system_info.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

constexpr std::string_view kDetermineDossierConfig = "Lib_Public:DetermineDossierConfig";
constexpr std::string_view kNomDossierSettings = "Lib_Public:NomDossierSettings";
constexpr std::string_view kNomFichierSettings = "Lib_Public:NomFichierSettings";

constexpr std::string_view kThemeKey = R"(Software\Microsoft\Windows\CurrentVersion\ThemeManager)";

// Vista and later (6 to 11) have no classic look worth advising against.
bool IsVistaOrLater(std::int32_t osVersionCode) {
    return osVersionCode >= 6 && osVersionCode <= 11;
}

std::string ThemeAdviceText() {
    return "Le poste utilise le style 'Windows standard'"_cp + "\r\n\r\n" +
           "Pour une avoir une interface optimisée, nous vous conseillons d'utiliser un style "
           "'Windows XP'"_cp +
           "\r\n\r\n" +
           "Pour faire le changement,  cliquez droit sur le bureau de windows et choisissez "
           "'Propriétés'"_cp;
}

}  // namespace

ConfigFiles::ConfigFiles(ErrorHandler& errors, ConfigFolders& folders, SystemInfo& system,
                         FileOps& files, FolderOps& folderOps, IniAccess& ini, Registry& registry,
                         Dialogs& dialogs)
    : m_errors(errors),
      m_folders(folders),
      m_system(system),
      m_files(files),
      m_folderOps(folderOps),
      m_ini(ini),
      m_registry(registry),
      m_dialogs(dialogs) {}

std::string ConfigFiles::DetermineDossierConfig(std::int16_t /*unused*/) {
    std::string result;
    m_errors.Guard(kDetermineDossierConfig, [&] {
        const std::int32_t osVersionCode = OsVersionCode();
        const std::string configFile = m_folders.DossierConfig + "Settings/KS3_Config.ini";
        if (!IsVistaOrLater(osVersionCode)) {
            m_folderOps.VerificationEtCreationRepertoire(EclateRepFicExt(configFile).EclateDossier,
                                                         true);
            m_files.File_Exist(configFile, kDetermineDossierConfig);
        }
        result = configFile;
        if (!IsVistaOrLater(osVersionCode)) {
            ThemeAdvice(configFile);
        }
    });
    return result;
}

void ConfigFiles::NomDossierSettings() {
    m_errors.Guard(kNomDossierSettings, [&] {
        m_folders.DossierSettings =
            m_folders.DossierConfig + "Settings/" + std::string(kSettingsBaseName) + "/";
        m_folderOps.VerificationEtCreationRepertoire(m_folders.DossierSettings, true);
        const std::string newFile = NomFichierSettings("", ".ini");
        if (m_files.File_Exist(newFile, kNomDossierSettings)) {
            return;
        }
        const std::string oldFile =
            CheckRep(m_system.GetWinDir()) + std::string(kSettingsBaseName) + ".ini";
        if (m_files.File_Exist(oldFile, kNomDossierSettings)) {
            m_files.File_Copy(oldFile, newFile);
        }
        // The old file goes only once the new one is there: a failed copy loses nothing.
        if (m_files.File_Exist(newFile, kNomDossierSettings)) {
            m_files.File_Delete(oldFile, kNomDossierSettings);
        }
    });
}

std::string ConfigFiles::NomFichierSettings(std::string_view suffix, std::string_view extension) {
    std::string result;
    m_errors.Guard(kNomFichierSettings, [&] {
        if (IsBlank(m_folders.DossierSettings)) {
            NomDossierSettings();
        }
        result = m_folders.DossierSettings + std::string(kSettingsBaseName) + std::string(suffix) +
                 std::string(extension);
    });
    return result;
}

std::int32_t ConfigFiles::OsVersionCode() {
    if (m_osVersion) {
        return m_osVersion();
    }
    if (m_system.OsVersionCode() == 0) {
        m_system.GetOSDisplayString();
    }
    return m_system.OsVersionCode();
}

void ConfigFiles::ThemeAdvice(const std::string& configFile) {
    std::string themeActive;
    m_registry.Reg_GetValue(kHkeyCurrentUser, kThemeKey, "ThemeActive", themeActive);
    // A missing value reads as empty, that is 0: the classic look.
    if (Val(themeActive) != 0.0 ||
        m_ini.LectureIni(configFile, "ThemeWindows", "Msg", "0") != "0") {
        return;
    }
    m_dialogs.MessageBox(MsgIcon::Information, MsgButtons::Ok, m_caption, ThemeAdviceText());
    m_ini.EcritureIni(configFile, "ThemeWindows", "Msg", "1");
}

}  // namespace ks
