#include "core/sys/folder_finder.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "core/base/dialogs.h"
#include "core/base/error_handler.h"
#include "core/base/trace_sink.h"
#include "core/sys/folder_ops.h"
#include "core/sys/registry.h"
#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"
#include "platform/native_path.h"

namespace ks {
namespace {

constexpr std::string_view kFolderFound = "Lib_Systeme:FolderFound";
constexpr std::string_view kFolderSelect = "Lib_Systeme:FolderSelect";
constexpr std::string_view kMenuAppPath =
    R"(Software\Microsoft\Windows\CurrentVersion\App Paths\KS3_Menu.exe)";
constexpr std::string_view kMenuProgram = "KS3_Menu";
constexpr std::string_view kSuiteDefaultFolder = "Velmora/Kestrel/";
constexpr std::string_view kConfigSubfolder = "Config/";

bool IsNetworkPath(std::string_view folder) {
    return folder.starts_with("//");
}

bool FolderExists(std::string_view folder) {
    std::error_code error;
    return std::filesystem::is_directory(NativePath(folder), error);
}

// Position of `needle` in `text` without regard to case, npos when absent.
std::size_t FindNoCase(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) {
        return std::string_view::npos;
    }
    for (std::size_t at = 0; at + needle.size() <= text.size(); ++at) {
        if (EqualsNoCase(text.substr(at, needle.size()), needle)) {
            return at;
        }
    }
    return std::string_view::npos;
}

}  // namespace

FolderFinder::FolderFinder(ErrorHandler& errors, TraceSink& trace, FolderOps& folderOps,
                           Registry& registry, Dialogs& dialogs, std::string dossierConfig)
    : m_errors(errors),
      m_trace(trace),
      m_folderOps(folderOps),
      m_registry(registry),
      m_dialogs(dialogs),
      m_dossierConfig(std::move(dossierConfig)) {}

std::string FolderFinder::SuiteConfigFolder() {
    std::string menuPath;
    const std::int32_t status =
        m_registry.Reg_GetValue(kHkeyLocalMachine, kMenuAppPath, "", menuPath);
    const std::size_t at = FindNoCase(menuPath, kMenuProgram);
    // A missing value, or one that does not name the menu program, leaves the default.
    if (status != kRegOk || at == std::string::npos || Trim(menuPath.substr(0, at)).empty()) {
        return m_dossierConfig + std::string(kSuiteDefaultFolder) + std::string(kConfigSubfolder);
    }
    return CheckRep(menuPath.substr(0, at)) + std::string(kConfigSubfolder);
}

bool FolderFinder::FolderFound(std::string& folder, std::string& tried) {
    bool found = false;
    const int line = __builtin_LINE();
    const bool completed = m_errors.Guard(
        kFolderFound,
        [&] {
            if (Trim(folder).empty()) {
                return;
            }
            tried += folder + ",,";
            if (FolderExists(folder)) {
                found = true;
                return;
            }
            if (!IsNetworkPath(folder)) {
                folder = SuiteConfigFolder();
            }
            m_folderOps.VerificationEtCreationRepertoire(folder, true);
            tried += folder + ",,";
            found = FolderExists(folder);
        },
        line);
    if (!completed) {
        ErrorHandler::Silent([&] {
            m_trace.TraceLog(-1, -1, -1,
                             "Err: Folder not found: " + folder +
                                 " |Source: " + std::string(kFolderFound) + ":" +
                                 std::to_string(line) + " |Dossier: " + tried,
                             true);
        });
    }
    return found;
}

std::string FolderFinder::FolderSelect(std::string_view currentFolder, std::string_view title) {
    std::string result;
    m_errors.Guard(kFolderSelect, [&] {
        const std::string caption =
            Trim(title).empty() ? "Sélectionnez un dossier: "_cp : std::string(title);
        const std::optional<std::string> chosen =
            m_dialogs.ChooseFolder(caption, std::string(currentFolder));
        if (!chosen || Trim(*chosen).empty()) {
            return;
        }
        std::string folder = *chosen;
        std::string tried;
        FolderFound(folder, tried);
        m_folderOps.VerificationEtCreationRepertoire(folder, true);
        result = folder;
    });
    return result;
}

}  // namespace ks
