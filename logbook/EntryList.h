#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace logbook {

// One log section's entries, kept end to end in one buffer: a run logs a
// line for each file it meets, and a string apiece would cost an allocation
// to make and another to free for every one of them.
class EntryList {
public:
    // Adds the text as an entry ending in a line feed.
    void AddLine(std::string_view text) {
        m_text.append(text);
        if (text.empty() || text.back() != '\n') m_text.push_back('\n');
        m_ends.push_back(m_text.size());
    }
    size_t Count() const { return m_ends.size(); }
    bool Empty() const { return m_ends.empty(); }
    // The bytes of all the entries together.
    size_t Bytes() const { return m_text.size(); }
    std::string_view operator[](size_t i) const {
        const size_t start = i == 0 ? 0 : m_ends[i - 1];
        return std::string_view(m_text).substr(start, m_ends[i] - start);
    }
    void Erase(size_t i);
    void Clear() {
        m_text.clear();
        m_ends.clear();
    }
    std::vector<std::string> Copy() const;

private:
    std::string m_text;
    std::vector<size_t> m_ends;  // where each entry ends in m_text
};

}  // namespace logbook
