#include "logbook/EntryList.h"

namespace logbook {

void EntryList::Erase(size_t i) {
    const size_t start = i == 0 ? 0 : m_ends[i - 1];
    const size_t length = m_ends[i] - start;
    m_text.erase(start, length);
    m_ends.erase(m_ends.begin() + static_cast<std::ptrdiff_t>(i));
    for (size_t k = i; k < m_ends.size(); ++k) m_ends[k] -= length;
}

std::vector<std::string> EntryList::Copy() const {
    std::vector<std::string> entries;
    entries.reserve(Count());
    for (size_t i = 0; i < Count(); ++i) entries.emplace_back((*this)[i]);
    return entries;
}

}  // namespace logbook
