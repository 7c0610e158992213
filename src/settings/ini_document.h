#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text of an INI file: "[Section]" lines followed by "key=value" lines. Names are
// matched without regard to ASCII case; every line this class does not change (comments,
// other sections, unknown keys, junk) is written back byte for byte.
//
// Values are stored plain when that is unambiguous, otherwise in double quotes with the
// escapes \\ \" \r \n \t and \xHH, so any 8-bit text (NUL and blanks at either end
// included) comes back unchanged.
class IniDocument {
public:
    explicit IniDocument(const std::string& text);

    // The first section of that name that holds the key wins.
    bool Find(std::string_view section, std::string_view key, std::string& value) const;
    // Replaces the entry Find would return, else adds one to the first section of that name,
    // else adds the section at the end.
    void Set(std::string_view section, std::string_view key, const std::string& value);

    std::string Text() const;

    static std::string EncodeValue(const std::string& value);
    static std::string DecodeValue(std::string_view raw);
    // True for names a file can hold and give back.
    static bool IsValidName(std::string_view name, bool isSection);

private:
    struct Line {
        std::string text; // without its line end
        std::string end;  // "\n", "\r\n"; for the last line also "\r" or ""
    };
    // Index of the entry Find would use, or npos.
    std::size_t FindEntry(std::string_view section, std::string_view key) const;

    std::string m_bom;
    std::vector<Line> m_lines;
    std::string m_lineEnd;
};
