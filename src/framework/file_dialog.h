#pragma once

#include <windows.h>

#include <commdlg.h>

#include <functional>
#include <optional>
#include <string>

// The system's open-file (or save-file) dialog for one file name.
class CFileDialog {
public:
    // `filter` is in the form "Text|*.ext|Other|*.*||"; `defaultExt` may be given as "*.ext".
    CFileDialog(bool openFileDialog, const char* defaultExt = nullptr,
                const char* fileName = nullptr, DWORD flags = OFN_HIDEREADONLY,
                const char* filter = nullptr, HWND parent = nullptr);

    // IDOK when the user chose a file, IDCANCEL when the user cancelled or the dialog failed.
    int DoModal();
    // The chosen file's full path (or the initial name before DoModal).
    std::string GetPathName() const { return m_path; }

    // The filter as the system wants it: each "|" a NUL, ending in two NULs.
    static std::string ConvertFilter(const std::string& filter);

    // What the dialog would have been shown with, and the file a stand-in user picks
    // (nullopt: cancel).
    using Answer = std::function<std::optional<std::string>(const OPENFILENAMEA& request)>;

    // While one of these lives, DoModal shows nothing and asks `answer` instead, so that
    // tests never wait for a person. Restores the previous answerer when it goes.
    class ScopedAnswer {
    public:
        explicit ScopedAnswer(Answer answer);
        ~ScopedAnswer();
        ScopedAnswer(const ScopedAnswer&) = delete;
        ScopedAnswer& operator=(const ScopedAnswer&) = delete;

    private:
        Answer m_previous;
    };

private:
    bool m_open;
    std::string m_defaultExt;
    std::string m_filter;
    DWORD m_flags;
    HWND m_parent;
    std::string m_path;
};
