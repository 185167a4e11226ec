#include "core/transfer/working_list.h"

#include "platform/native_path.h"

namespace ks {
namespace {

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        c = UpperCp1252(c);
    }
    return folded;
}

}  // namespace

bool WorkingList::Contains(std::string_view text) const {
    return m_folded.contains(Folded(text));
}

bool WorkingList::AddIfMissing(std::string_view text) {
    if (!m_folded.insert(Folded(text)).second) {
        return false;
    }
    m_entries.emplace_back(text);
    return true;
}

void WorkingList::Clear() {
    m_entries.clear();
    m_folded.clear();
}

}  // namespace ks
