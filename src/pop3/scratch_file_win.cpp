#include "pop3/scratch_file.h"

#include <windows.h>

namespace pop3 {

namespace {

HANDLE ToHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// ReadFile and WriteFile move at most a DWORD at a time.
DWORD Slice(std::size_t length) {
    return length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
}

} // namespace

ScratchFile::ScratchFile(std::filesystem::path path) : m_path(std::move(path)) {
    // TEMPORARY keeps the short-lived file in the cache instead of writing it to disk;
    // DELETE_ON_CLOSE removes it even if the process dies while it is open.
    const HANDLE file =
        ::CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        m_handle = reinterpret_cast<std::intptr_t>(file);
    }
}

void ScratchFile::Discard() {
    if (IsOpen()) {
        ::CloseHandle(ToHandle(m_handle));
        m_handle = kNoHandle;
    }
}

bool ScratchFile::Write(const char* data, std::size_t length) {
    while (IsOpen() && length > 0) {
        DWORD written = 0;
        if (!::WriteFile(ToHandle(m_handle), data, Slice(length), &written, nullptr) ||
            written == 0) {
            return false;
        }
        data += written;
        length -= written;
        m_size += written;
    }
    return IsOpen();
}

bool ScratchFile::ReadBack(std::string& contents) const {
    if (!IsOpen()) {
        return false;
    }
    contents.resize(m_size);
    std::size_t got = 0;
    while (got < m_size) {
        // The offset in the OVERLAPPED record reads from there without moving the file
        // pointer, like pread().
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(got);
        at.OffsetHigh = static_cast<DWORD>(static_cast<unsigned long long>(got) >> 32);
        DWORD count = 0;
        if (!::ReadFile(ToHandle(m_handle), &contents[got], Slice(m_size - got), &count, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return false;
        }
        if (count == 0) {
            break;
        }
        got += count;
    }
    contents.resize(got);
    return true;
}

} // namespace pop3
