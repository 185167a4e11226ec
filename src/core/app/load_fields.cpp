#include "core/app/load_fields.h"

namespace ks {

std::string LoadFields::TexteTimingData(int index) const {
    if (index < 0 || index >= static_cast<int>(m_timing.size())) {
        return {};
    }
    return m_timing[static_cast<std::size_t>(index)];
}

void LoadFields::ShowTimingData(int index, const std::string& text) {
    if (index >= 0 && index < static_cast<int>(m_timing.size())) {
        m_timing[static_cast<std::size_t>(index)] = text;
    }
    m_window.ShowTimingData(index, text);
}

}  // namespace ks
