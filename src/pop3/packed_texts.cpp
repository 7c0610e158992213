#include "pop3/packed_texts.h"

#include <vector>

namespace pop3 {

bool PackedTexts::Fits(std::size_t moreBytes) const {
    return moreBytes <= UINT32_MAX - m_Bytes.size();
}

bool PackedTexts::Append(std::string_view text) {
    if (!Fits(text.size())) {
        return false;
    }
    m_Bytes.insert(m_Bytes.end(), text.begin(), text.end());
    m_Ends.push_back(static_cast<std::uint32_t>(m_Bytes.size()));
    return true;
}

std::string PackedTexts::At(std::size_t i) const {
    if (i >= m_Ends.size()) {
        return std::string();
    }
    const auto begin = m_Bytes.begin();
    return std::string(begin + static_cast<std::ptrdiff_t>(Start(i)),
                       begin + static_cast<std::ptrdiff_t>(m_Ends[i]));
}

bool PackedTexts::Replace(std::size_t i, std::string_view text) {
    if (i >= m_Ends.size() || !Fits(text.size())) {
        return false;
    }
    // Texts after it move; in use only the last one is ever replaced, which moves nothing.
    std::vector<std::string> after;
    for (std::size_t k = i + 1; k < m_Ends.size(); ++k) {
        after.push_back(At(k));
    }
    m_Bytes.erase(m_Bytes.begin() + static_cast<std::ptrdiff_t>(Start(i)), m_Bytes.end());
    m_Ends.resize(i);
    bool stored = Append(text);
    for (const std::string& next : after) {
        stored = Append(next) && stored;
    }
    return stored;
}

} // namespace pop3
