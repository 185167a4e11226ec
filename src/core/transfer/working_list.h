// A working list of the transfer (ListeMorceau, ListeArtiste, ListeCategorie): strings kept in
// the order they were first added, each once, a string being "already there" when an entry
// equals it whole without regard to case (Windows-1252 letters, as file names compare).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace ks {

class WorkingList {
  public:
    bool Contains(std::string_view text) const;
    // Appends `text` unless the list contains it; true when appended.
    bool AddIfMissing(std::string_view text);
    void Clear();

    std::size_t Count() const { return m_entries.size(); }
    const std::string& operator[](std::size_t index) const { return m_entries[index]; }
    const std::vector<std::string>& Entries() const { return m_entries; }

  private:
    std::vector<std::string> m_entries;
    std::unordered_set<std::string> m_folded;  // every entry in upper case, for the search
};

}  // namespace ks
