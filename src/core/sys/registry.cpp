#include "core/sys/registry.h"

#include <filesystem>
#include <system_error>

#include "core/log/error_handler.h"
#include "core/settings/ini_file.h"
#include "core/settings/whole_file.h"
#include "core/sys/system_info.h"
#include "platform/native_path.h"

namespace ks {
namespace {

constexpr std::string_view kBlanks = " \t\v\r";

std::optional<std::string_view> RootName(std::uint32_t root) {
    if (root == 0) {
        root = SystemInfo::PlatformId() == 1 ? kHkeyLocalMachine : kHkeyCurrentUser;
    }
    switch (root) {
        case kHkeyClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case kHkeyCurrentUser:
            return "HKEY_CURRENT_USER";
        case kHkeyLocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case kHkeyUsers:
            return "HKEY_USERS";
        case kHkeyCurrentConfig:
            return "HKEY_CURRENT_CONFIG";
        default:
            return std::nullopt;
    }
}

// The section of a key: the root's name, "\" and the key path without "\" at its ends.
std::optional<std::string> SectionOf(std::uint32_t root, std::string_view keyPath) {
    const auto rootName = RootName(root);
    if (!rootName) {
        return std::nullopt;
    }
    while (keyPath.starts_with('\\')) {
        keyPath.remove_prefix(1);
    }
    while (keyPath.ends_with('\\')) {
        keyPath.remove_suffix(1);
    }
    std::string section(*rootName);
    if (!keyPath.empty()) {
        section += '\\';
        section += keyPath;
    }
    return section;
}

std::string_view EntryName(std::string_view valueName) {
    return valueName.empty() ? "@" : valueName;
}

// The INI reader trims values and removes a pair of enclosing quotes; a registry text is
// given back exactly, so such a text is stored inside one more pair of quotes.
std::string Quoted(std::string_view value) {
    const bool blankAtEnds = !value.empty() && (kBlanks.find(value.front()) != kBlanks.npos ||
                                                kBlanks.find(value.back()) != kBlanks.npos);
    const bool enclosed = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                          value.back() == value.front();
    if (blankAtEnds || enclosed) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

// Writes the store; its Settings folder is created when missing, as the registry always
// exists on Windows.
bool Save(const std::filesystem::path& file, const IniFile& ini) {
    std::error_code failure = ReplaceFileAtomically(file, ini.Bytes());
    if (failure == std::errc::no_such_file_or_directory) {
        std::error_code ignored;
        std::filesystem::create_directories(file.parent_path(), ignored);
        failure = ReplaceFileAtomically(file, ini.Bytes());
    }
    return !failure;
}

}  // namespace

Registry::Registry(ErrorHandler& errors, std::string dossierConfig)
    : m_errors(errors), m_dossierConfig(std::move(dossierConfig)) {}

std::string Registry::StoreFile(std::string_view dossierConfig) {
    return std::string(dossierConfig) + "Settings/Registry.ini";
}

std::int32_t Registry::Reg_GetValue(std::uint32_t root, std::string_view keyPath,
                                    std::string_view valueName, std::string& result) {
    result.clear();
    std::int32_t status = kRegFailed;
    m_errors.Guard("Lib_Systeme:Reg_GetValue", [&] {
        const auto section = SectionOf(root, keyPath);
        if (!section) {
            status = kRegInvalidRoot;
            return;
        }
        const std::filesystem::path file = NativePath(StoreFile(m_dossierConfig));
        std::string bytes;
        if (ReadWholeFile(file, bytes) == ReadResult::Failed) {
            status = kRegAccessDenied;
            return;
        }
        IniFile ini(std::move(bytes));
        if (!ini.HasSection(*section)) {
            if (!ini.AddSection(*section)) {
                status = kRegInvalidParameter;
                return;
            }
            if (!Save(file, ini)) {
                status = kRegAccessDenied;
                return;
            }
        }
        const auto value = ini.Value(*section, EntryName(valueName));
        if (!value) {
            status = kRegValueNotFound;
            return;
        }
        result = *value;
        status = kRegOk;
    });
    return status;
}

std::int32_t Registry::Reg_SetValue(std::uint32_t root, std::string_view keyPath,
                                    std::string_view valueName, std::string_view value) {
    return Store(root, keyPath, valueName, value);
}

std::int32_t Registry::Reg_SetValue(std::uint32_t root, std::string_view keyPath,
                                    std::string_view valueName, std::int32_t value) {
    return Store(root, keyPath, valueName, std::to_string(value));
}

std::int32_t Registry::Store(std::uint32_t root, std::string_view keyPath,
                             std::string_view valueName, std::string_view value) {
    std::int32_t status = kRegFailed;
    m_errors.Guard("Lib_Systeme:Reg_SetValue", [&] {
        const auto section = SectionOf(root, keyPath);
        if (!section) {
            status = kRegInvalidRoot;
            return;
        }
        const std::filesystem::path file = NativePath(StoreFile(m_dossierConfig));
        std::string bytes;
        if (ReadWholeFile(file, bytes) == ReadResult::Failed) {
            status = kRegAccessDenied;
            return;
        }
        IniFile ini(std::move(bytes));
        if (!ini.Set(*section, EntryName(valueName), Quoted(value))) {
            status = kRegInvalidParameter;
            return;
        }
        status = Save(file, ini) ? kRegOk : kRegAccessDenied;
    });
    return status;
}

}  // namespace ks
