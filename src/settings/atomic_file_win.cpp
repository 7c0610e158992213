#include "settings/atomic_file.h"

#include <windows.h>

#include "settings/wide_path_win.h"

namespace atomic_file {

namespace {

// A profile is a few hundred bytes; anything far larger is not ours to load.
constexpr DWORD kMaxFileSize = 64 * 1024 * 1024;

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool Close() {
        if (m_handle == INVALID_HANDLE_VALUE)
            return true;
        const bool ok = ::CloseHandle(m_handle) != FALSE;
        m_handle = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_handle;
};

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

void CreateFolders(const std::wstring& path) {
    // Prefixes such as "C:" or "\\server" fail harmlessly; a real failure shows when the
    // file itself is created.
    for (std::size_t i = 1; i < path.size(); ++i)
        if (IsSeparator(path[i]) && !IsSeparator(path[i - 1]))
            ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

} // namespace

ReadResult ReadAll(const std::string& path, std::string& content) {
    content.clear();
    FileHandle file(::CreateFileW(wide_path::FromText(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadResult::Missing
                                                                              : ReadResult::Failed;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxFileSize)
        return ReadResult::Failed;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr))
            return ReadResult::Failed;
        if (got == 0)
            return ReadResult::Ok;
        if (content.size() + got > kMaxFileSize)
            return ReadResult::Failed;
        content.append(buffer, got);
    }
}

bool Replace(const std::string& path, const std::string& content) {
    const std::wstring target = wide_path::FromText(path);
    CreateFolders(target);
    detail::RemoveStrayTemporaries(target);
    const std::wstring temporary = detail::TemporaryName(target).wstring();
    FileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return false;
    bool written = true;
    for (std::size_t done = 0; written && done < content.size();) {
        DWORD put = 0;
        const std::size_t chunk = content.size() - done;
        written = ::WriteFile(file.Get(), content.data() + done,
                              static_cast<DWORD>(chunk < 65536 ? chunk : 65536), &put,
                              nullptr) != FALSE &&
                  put > 0;
        done += put;
    }
    written = written && ::FlushFileBuffers(file.Get());
    if (!file.Close() || !written ||
        !::MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace atomic_file
