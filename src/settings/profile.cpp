#include "settings/profile.h"

#include <climits>

#include "settings/atomic_file.h"
#include "settings/ini_document.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// atoi's rules, without its undefined behaviour on overflow: the value saturates.
int ParseInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

} // namespace

Profile::Profile(std::string path) : m_path(std::move(path)) {}

bool Profile::Lookup(const std::string& section, const std::string& key, std::string& value) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    if (atomic_file::ReadAll(m_path, text) != atomic_file::ReadResult::Ok)
        return false;
    return IniDocument(text).Find(section, key, value);
}

int Profile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    std::string value;
    return Lookup(section, key, value) ? ParseInt(value) : defaultValue;
}

std::string Profile::GetString(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const {
    std::string value;
    return Lookup(section, key, value) ? value : defaultValue;
}

bool Profile::WriteInt(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool Profile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    return WriteAll({{section, key, value}});
}

bool Profile::WriteAll(const std::vector<Value>& values) {
    for (const Value& value : values) {
        if (!IniDocument::IsValidName(value.section, true) ||
            !IniDocument::IsValidName(value.key, false))
            return false;
    }
    if (values.empty())
        return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string text;
    // A file that exists but cannot be read must not be replaced by one holding only these
    // values.
    if (atomic_file::ReadAll(m_path, text) == atomic_file::ReadResult::Failed)
        return false;
    IniDocument document(text);
    for (const Value& value : values)
        document.Set(value.section, value.key, value.text);
    return atomic_file::Replace(m_path, document.Text());
}

std::string Profile::Path() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_path;
}

void Profile::SetPath(std::string path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_path = std::move(path);
}

Profile& Profile::Application() {
    static Profile profile(DefaultPath());
    return profile;
}

void Profile::UseFile(const std::string& path) {
    Application().SetPath(path);
}

void ProfileBatch::WriteInt(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void ProfileBatch::WriteString(const std::string& section, const std::string& key,
                               const std::string& value) {
    m_values.push_back({section, key, value});
}

bool ProfileBatch::Commit() {
    const bool stored = m_profile.WriteAll(m_values);
    m_values.clear();
    return stored;
}
