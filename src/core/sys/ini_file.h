// One INI text held as bytes, read and edited the way the Windows profile functions do it:
// section and key names compared without regard to case, the first section and the first key
// of a name win, values trimmed with one pair of enclosing quotes removed, comment lines
// (";") skipped. An edit touches only the line it changes or adds: every other byte of the
// text, line ends included, stays as it was. Pure logic without any file access, so that
// anything, binary garbage included, can be fed to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ks {

class IniFile {
  public:
    IniFile() = default;
    explicit IniFile(std::string bytes) : m_bytes(std::move(bytes)) {}

    const std::string& Bytes() const { return m_bytes; }

    // The value of `key` in the first section named `section`, without its surrounding blanks
    // and one pair of enclosing quotes; nullopt when the section or the key is missing or the
    // key's line has no "=". Blanks around the two names are ignored.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // The entries of the first section named `section` in file order, each as its key, "="
    // and its value without surrounding blanks (quotes kept); a line without "=" is given as
    // it stands. Comment and blank lines are left out. Empty when the section is missing.
    std::vector<std::string> Entries(std::string_view section) const;

    // True when the first section named `section` exists.
    bool HasSection(std::string_view section) const;

    // Whether a write of these three could be stored and read back as written: names not
    // blank, nothing holding CR or LF (that would start a line of its own: a new key or
    // section), no "]" in the section name, no "=" in the key, and a key that does not start
    // as a comment or a section.
    static bool CanStore(std::string_view section, std::string_view key, std::string_view value);

    // Stores `value` under `key` of `section`: in place when the key exists (the line keeps
    // its key, its "=" and the blanks after it), else as a new "key=value" line after the last
    // entry of the section, else as a new section at the end of the text. New lines end as
    // the text's first line does (CR LF when it has none). False, and nothing changed, when
    // CanStore refuses.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    // Adds an empty `section` at the end unless it exists. False when the name cannot be
    // stored (see CanStore).
    bool AddSection(std::string_view section);

  private:
    std::string LineEnd() const;
    void AppendSection(std::string_view section, std::string_view entry);

    std::string m_bytes;
};

}  // namespace ks
