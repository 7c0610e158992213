#include "pop3/scratch_folder.h"

#include <string>

#include <windows.h>

namespace pop3::detail {

std::vector<std::filesystem::path> ScratchBases() {
    // The user's temporary folder is already private to the user.
    wchar_t base[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    return {std::filesystem::path(base)};
}

std::filesystem::path MakePrivateFolder(const std::filesystem::path& base,
                                        const std::string& prefix) {
    // A counter keeps apart the folders of an earlier process that had the same id.
    const std::wstring stem = (base / prefix).wstring();
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

bool IsOwnFolder(const std::filesystem::path& path) {
    // A junction or link is never followed out of the temporary folder.
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace pop3::detail
