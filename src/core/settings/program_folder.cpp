#include "core/settings/program_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/settings/config_folders.h"
#include "core/sys/folder_ops.h"
#include "platform/native_path.h"

namespace ks {
namespace {

namespace fs = std::filesystem;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// The home folder the user database gives this process's user: a service started by the
// system as root has no HOME, and must not fall back to the installed folder.
std::string AccountHome() {
    std::array<char, 4096> buffer{};
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

}  // namespace

std::string UserProgramFolder() {
    fs::path base;
    if (const std::string data = Variable("XDG_DATA_HOME"); !data.empty()) {
        base = data;
    } else {
        std::string home = Variable("HOME");
        if (home.empty()) {
            home = AccountHome();
        }
        if (home.empty()) {
            return {};
        }
        base = fs::path(home) / ".local/share";
    }
    const auto folder = FromNativePath(base / std::string(kUserFolderName));
    return folder ? CheckRep(*folder) : std::string();
}

std::string DefaultProgramFolder(bool create) {
    return ProgramFolderBeside(ExecutableFolder(), create);
}

std::string ProgramFolderBeside(const std::string& executable, bool create) {
    std::error_code error;
    // Root may write anywhere: writing into an installation would make root's lock, trace
    // and settings every new user's starting point, so an installation is never written.
    if (!executable.empty() &&
        !fs::exists(NativePath(executable) / std::string(kInstalledMarker), error) &&
        access(NativePath(executable).c_str(), W_OK) == 0) {
        return executable;
    }
    std::string user = UserProgramFolder();
    if (user.empty()) {
        return executable;
    }
    if (!create) {
        return user;
    }
    const fs::path target = NativePath(user);
    if (!fs::exists(target / "Settings", error)) {
        fs::create_directories(target, error);
        // What the installation provides is a starting point; the operator's copy is theirs.
        const fs::path installed = NativePath(executable) / "Settings";
        if (!executable.empty() && fs::is_directory(installed, error)) {
            fs::copy(installed, target / "Settings", fs::copy_options::recursive, error);
        }
    }
    return user;
}

}  // namespace ks
