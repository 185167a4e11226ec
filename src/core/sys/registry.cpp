#include "core/sys/registry.h"

#include <filesystem>
#include <system_error>

#include "core/base/error_handler.h"
#include "core/sys/ini_file.h"
#include "core/sys/system_info.h"
#include "core/sys/whole_file.h"
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
    const bool blankAtEnds =
        !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                           kBlanks.find(value.back()) != std::string_view::npos);
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

// A key's place in the store: the store's file and text, and the key's section.
struct OpenKey {
    std::filesystem::path file;
    IniFile ini;
    std::string section;
};

// Reads the store for a call on `keyPath` under `root`; kRegOk, or the status that ends the
// call when the root is unknown or the store cannot be read (a missing store is empty).
std::int32_t Open(std::uint32_t root, std::string_view keyPath, std::string_view storeFile,
                  OpenKey& key) {
    const auto section = SectionOf(root, keyPath);
    if (!section) {
        return kRegInvalidRoot;
    }
    key.section = *section;
    key.file = NativePath(storeFile);
    std::string bytes;
    if (ReadWholeFile(key.file, bytes) == ReadResult::Failed) {
        return kRegAccessDenied;
    }
    key.ini = IniFile(std::move(bytes));
    return kRegOk;
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
        OpenKey key;
        if (const std::int32_t opened = Open(root, keyPath, StoreFile(m_dossierConfig), key);
            opened != kRegOk) {
            status = opened;
            return;
        }
        if (!key.ini.HasSection(key.section)) {
            if (!key.ini.AddSection(key.section)) {
                status = kRegInvalidParameter;
                return;
            }
            if (!Save(key.file, key.ini)) {
                status = kRegAccessDenied;
                return;
            }
        }
        const auto value = key.ini.Value(key.section, EntryName(valueName));
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
        OpenKey key;
        if (const std::int32_t opened = Open(root, keyPath, StoreFile(m_dossierConfig), key);
            opened != kRegOk) {
            status = opened;
            return;
        }
        if (!key.ini.Set(key.section, EntryName(valueName), Quoted(value))) {
            status = kRegInvalidParameter;
            return;
        }
        status = Save(key.file, key.ini) ? kRegOk : kRegAccessDenied;
    });
    return status;
}

}  // namespace ks
