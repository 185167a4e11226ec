#include "core/settings/ini_access.h"

#include <optional>

#include "core/base/error_handler.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "core/sys/ini_file.h"
#include "core/sys/text_helpers.h"
#include "core/sys/whole_file.h"
#include "platform/native_path.h"

namespace ks {
namespace {

constexpr std::int16_t kReadOnlyAttribute = 1;

// The profile functions take C strings: whatever follows a NUL never reaches them.
std::string_view AsCString(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// What the 255-character read buffer holds of a text: up to 254 characters.
std::string ThroughReadBuffer(std::string_view text) {
    return std::string(AsCString(text).substr(0, kIniValueMax));
}

// The default value comes back through the same buffer, without its trailing blanks.
std::string DefaultThroughReadBuffer(std::string_view defaultValue) {
    std::string_view text = AsCString(defaultValue);
    text = text.substr(0, text.find_last_not_of(' ') + 1);
    return ThroughReadBuffer(text);
}

// What the read buffer holds of a value read, or of the default when there is none.
std::string ReadValue(const std::optional<IniFile>& ini, std::string_view section,
                      std::string_view key, std::string_view defaultValue) {
    std::optional<std::string> value;
    if (ini) {
        value = ini->Value(AsCString(section), AsCString(key));
    }
    return value ? ThroughReadBuffer(*value) : DefaultThroughReadBuffer(defaultValue);
}

std::optional<IniFile> Load(std::string_view file) {
    std::string bytes;
    if (ReadWholeFile(NativePath(file), bytes) != ReadResult::Read) {
        return std::nullopt;
    }
    return IniFile(std::move(bytes));
}

}  // namespace

std::string IniAccess::LectureIni(std::string_view file, std::string_view section,
                                  std::string_view key, std::string_view defaultValue) {
    std::string result;
    m_errors.Guard("Lib_Systeme:LectureIni", [&] {
        if (!NomFichierCorrect(AsCString(file))) {
            result = std::string(defaultValue);
            return;
        }
        result = ReadValue(Load(AsCString(file)), section, key, defaultValue);
    });
    return result;
}

std::string IniAccess::ValueInText(std::string_view bytes, std::string_view section,
                                   std::string_view key, std::string_view defaultValue) {
    std::string result;
    m_errors.Guard("Lib_Systeme:LectureIni", [&] {
        result = ReadValue(IniFile(std::string(bytes)), section, key, defaultValue);
    });
    return result;
}

bool IniAccess::EcritureIni(std::string_view file, std::string_view section, std::string_view key,
                            std::string_view value) {
    bool stored = false;
    m_errors.Guard("Lib_Systeme:EcritureIni", [&] {
        file = AsCString(file);
        section = AsCString(section);
        key = AsCString(key);
        value = AsCString(value);
        if (IsBlank(section) || IsBlank(key) || !NomFichierCorrect(file) ||
            !IniFile::CanStore(section, key, value)) {
            return;
        }
        if (WriteOnce(file, section, key, value)) {
            stored = true;
            return;
        }
        // A missing folder: create it (everything up to the last "/") and try again.
        m_folders.VerificationEtCreationRepertoire(file.substr(0, file.rfind('/') + 1), true);
        if (WriteOnce(file, section, key, value)) {
            stored = true;
            return;
        }
        // A read-only file: give the owner write permission back and try a last time.
        m_files.File_RemoveFlag(file, kReadOnlyAttribute);
        stored = WriteOnce(file, section, key, value);
    });
    return stored;
}

std::vector<std::string> IniAccess::LectureIniListeDesClesDansUneSection(std::string_view file,
                                                                         std::string_view section,
                                                                         std::int32_t& count) {
    count = 0;
    std::vector<std::string> entries;
    const bool done = m_errors.Guard("Lib_Systeme:LectureIniListeDesClesDansUneSection", [&] {
        // Windows cannot open such a name; here it could exist, but is refused the same way.
        if (!NomFichierCorrect(AsCString(file))) {
            return;
        }
        if (const auto ini = Load(AsCString(file))) {
            entries = ini->Entries(AsCString(section));
        }
        count = static_cast<std::int32_t>(entries.size());
    });
    if (!done) {
        entries.clear();
        count = 0;
    }
    return entries;
}

bool IniAccess::NomFichierCorrect(std::string_view name) {
    bool acceptable = false;
    m_errors.Guard("Lib_Public:NomFichierCorrect",
                   [&] { acceptable = name.find_first_of("*?\"|") == std::string_view::npos; });
    return acceptable;
}

bool IniAccess::WriteOnce(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view value) {
    const std::filesystem::path path = NativePath(file);
    std::string bytes;
    // A file that exists but cannot be read is never replaced by one holding only the new key.
    if (ReadWholeFile(path, bytes) == ReadResult::Failed) {
        return false;
    }
    IniFile ini(std::move(bytes));
    return ini.Set(section, key, value) && !ReplaceFileAtomically(path, ini.Bytes());
}

}  // namespace ks
