#include "core/settings/combo_list.h"

#include "core/base/failure.h"

namespace ks {

std::string ComboList::Text() const {
    if (m_listIndex < 0 || m_listIndex >= ListCount()) {
        return {};
    }
    return m_lines[static_cast<std::size_t>(m_listIndex)];
}

void ComboList::Clear() {
    m_lines.clear();
    m_listIndex = -1;
}

void ComboList::SetListIndex(std::int32_t index) {
    if (index < -1 || index >= ListCount()) {
        throw Failure(kErrInvalidPropertyValue, "Invalid property value");
    }
    m_listIndex = index;
}

}  // namespace ks
