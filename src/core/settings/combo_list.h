// The contents of one drop-down list of the options window: its lines and the selected line
// (-1 when none). The window draws it; the load cycle reads the selection from it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ks {

// The run-time error of a selection a list cannot take ("Invalid property value").
inline constexpr std::int32_t kErrInvalidPropertyValue = 380;

class ComboList {
  public:
    const std::vector<std::string>& Lines() const { return m_lines; }
    std::int32_t ListCount() const { return static_cast<std::int32_t>(m_lines.size()); }

    // The selected line, -1 when none.
    std::int32_t ListIndex() const { return m_listIndex; }

    // The text of the selected line, "" when none.
    std::string Text() const;

    // Emptying a list also drops its selection.
    void Clear();
    void AddItem(std::string line) { m_lines.push_back(std::move(line)); }

    // Selects a line, or none with -1. Any other index outside the list throws a Failure
    // and leaves the selection as it was.
    void SetListIndex(std::int32_t index);

  private:
    std::vector<std::string> m_lines;
    std::int32_t m_listIndex = -1;
};

}  // namespace ks
