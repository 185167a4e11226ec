// The registry of this platform: an INI file, DossierConfig + "Settings/Registry.ini", with
// one section per root and key path ("[HKEY_CURRENT_USER\Software\Velmora\Kestrel\Look]")
// and one entry per value; a key's default value (empty name) is stored under the name "@".
// Reading a key that does not exist creates it, as the registry's create-key call does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ks {

class ErrorHandler;

// Registry roots by their standard handles; 0 stands for the default root of the platform.
inline constexpr std::uint32_t kHkeyClassesRoot = 0x80000000U;
inline constexpr std::uint32_t kHkeyCurrentUser = 0x80000001U;
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002U;
inline constexpr std::uint32_t kHkeyUsers = 0x80000003U;
inline constexpr std::uint32_t kHkeyCurrentConfig = 0x80000005U;

// Status codes of the registry calls.
inline constexpr std::int32_t kRegOk = 0;
inline constexpr std::int32_t kRegFailed = 1;             // the call itself failed (reported)
inline constexpr std::int32_t kRegValueNotFound = 2;      // no value of that name
inline constexpr std::int32_t kRegAccessDenied = 5;       // the store cannot be read or written
inline constexpr std::int32_t kRegInvalidRoot = 6;        // not a root handle
inline constexpr std::int32_t kRegInvalidParameter = 87;  // a name the store cannot hold

class Registry {
  public:
    // `dossierConfig` is the program's folder, ending with "/".
    Registry(ErrorHandler& errors, std::string dossierConfig);

    // The store's file for a program folder.
    static std::string StoreFile(std::string_view dossierConfig);

    // Reads the text of value `valueName` ("" for the default value) of key `keyPath` (a
    // leading "\" ignored) under `root` into `result`. Root 0 is HKEY_CURRENT_USER, the
    // default root of the NT line (PlatformId 2). A missing key is created. Returns kRegOk,
    // or a non-zero status with `result` empty.
    std::int32_t Reg_GetValue(std::uint32_t root, std::string_view keyPath,
                              std::string_view valueName, std::string& result);

    // Stores a text value, creating the key as needed; kRegOk when stored.
    std::int32_t Reg_SetValue(std::uint32_t root, std::string_view keyPath,
                              std::string_view valueName, std::string_view value);

    // Stores a number (a registry number, type 4). The store keeps every value as text, so it
    // reads back as its decimal digits.
    std::int32_t Reg_SetValue(std::uint32_t root, std::string_view keyPath,
                              std::string_view valueName, std::int32_t value);

  private:
    std::int32_t Store(std::uint32_t root, std::string_view keyPath, std::string_view valueName,
                       std::string_view value);

    ErrorHandler& m_errors;
    std::string m_dossierConfig;
};

}  // namespace ks
