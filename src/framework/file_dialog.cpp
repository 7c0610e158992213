#include "framework/file_dialog.h"

#include <utility>
#include <vector>

namespace {

CFileDialog::Answer& TestAnswer() {
    static CFileDialog::Answer answer;
    return answer;
}

// Long enough for any path the system's dialog hands back without OFN_ALLOWMULTISELECT.
constexpr size_t kPathBuffer = 4096;

} // namespace

CFileDialog::CFileDialog(bool openFileDialog, const char* defaultExt, const char* fileName,
                         DWORD flags, const char* filter, HWND parent)
    : m_open(openFileDialog), m_flags(flags), m_parent(parent) {
    if (defaultExt != nullptr) {
        // The system appends the extension after a dot of its own.
        m_defaultExt = defaultExt;
        const size_t start = m_defaultExt.find_first_not_of("*.");
        m_defaultExt.erase(0, start == std::string::npos ? m_defaultExt.size() : start);
    }
    if (fileName != nullptr)
        m_path = fileName;
    if (filter != nullptr)
        m_filter = ConvertFilter(filter);
}

std::string CFileDialog::ConvertFilter(const std::string& filter) {
    std::string converted = filter;
    for (char& c : converted) {
        if (c == '|')
            c = '\0';
    }
    // A filter written without its closing "||" still needs the double NUL.
    while (converted.size() < 2 || converted[converted.size() - 1] != '\0' ||
           converted[converted.size() - 2] != '\0')
        converted.push_back('\0');
    return converted;
}

int CFileDialog::DoModal() {
    std::vector<char> path(kPathBuffer, '\0');
    m_path.copy(path.data(), path.size() - 1);

    OPENFILENAMEA request = {sizeof(request)};
    request.hwndOwner = m_parent;
    request.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = path.data();
    request.nMaxFile = static_cast<DWORD>(path.size());
    request.lpstrDefExt = m_defaultExt.empty() ? nullptr : m_defaultExt.c_str();
    request.Flags = m_flags;

    if (TestAnswer()) {
        std::optional<std::string> chosen = TestAnswer()(request);
        if (!chosen)
            return IDCANCEL;
        m_path = *chosen;
        return IDOK;
    }
    const BOOL chosen = m_open ? ::GetOpenFileNameA(&request) : ::GetSaveFileNameA(&request);
    if (!chosen)
        return IDCANCEL;
    m_path = path.data();
    return IDOK;
}

CFileDialog::ScopedAnswer::ScopedAnswer(Answer answer)
    : m_previous(std::exchange(TestAnswer(), std::move(answer))) {}

CFileDialog::ScopedAnswer::~ScopedAnswer() {
    TestAnswer() = std::move(m_previous);
}
