#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace pop3 {

// Many texts one after another in one store, for lists as long as a server makes them: each
// text costs its bytes and four more, and growing never copies what is already held.
class PackedTexts {
public:
    // False, with nothing stored, when the store would pass 4 GiB.
    bool Append(std::string_view text);
    bool Fits(std::size_t moreBytes) const;
    std::size_t Size() const { return m_Ends.size(); }
    // Empty for a text that does not exist.
    std::string At(std::size_t i) const;
    bool Replace(std::size_t i, std::string_view text);

private:
    std::size_t Start(std::size_t i) const { return i == 0 ? 0 : m_Ends[i - 1]; }

    std::deque<char> m_Bytes;
    std::deque<std::uint32_t> m_Ends; // text i ends here; it starts where text i - 1 ends
};

} // namespace pop3
