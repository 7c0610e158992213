#include "pop3/scratch_folder.h"

#include <string>

#include <windows.h>

namespace pop3 {

std::filesystem::path CreatePrivateFolder() {
    wchar_t base[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    // The user's temporary folder is already private to the user; the process id and a
    // counter keep two instances (or a leftover of a crashed one) apart.
    const std::wstring stem =
        std::wstring(base) + L"tarnwick-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring candidate = stem + std::to_wstring(attempt);
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            return std::filesystem::path(candidate);
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            return {};
        }
    }
    return {};
}

} // namespace pop3
