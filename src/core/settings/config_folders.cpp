#include "core/settings/config_folders.h"

#include <filesystem>
#include <system_error>

#include "core/sys/folder_ops.h"
#include "platform/native_path.h"

namespace ks {

ConfigFolders ConfigFolders::ForProgramFolder(std::string_view programFolder) {
    ConfigFolders folders;
    folders.DossierConfig = CheckRep(programFolder);
    folders.DossierSettings = folders.DossierConfig + "Config/";
    folders.DossierLog = folders.DossierConfig + "Quenvi/Histo_KS3_Diffuseur_Secours/";
    folders.DossierLangue = folders.DossierConfig + "Settings/_Language/";
    return folders;
}

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    const auto folder = FromNativePath(executable.parent_path());
    return folder ? CheckRep(*folder) : std::string();
}

std::string ExecutableName() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return FromNativePath(executable.filename()).value_or(std::string());
}

}  // namespace ks
