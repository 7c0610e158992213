#include "pop3/scratch_folder.h"

#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace pop3::detail {

std::vector<std::filesystem::path> ScratchBases() {
    // A check creates and removes a file per message: on a memory-backed file system that
    // costs no disk work. The user's runtime folder is one, /dev/shm another (Linux); the
    // ordinary temporary folder is the fallback.
    std::vector<std::filesystem::path> bases;
    if (const char* runtime = ::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        bases.emplace_back(runtime);
    }
    bases.emplace_back("/dev/shm");
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (!error) {
        bases.push_back(temp);
    }
    return bases;
}

std::filesystem::path MakePrivateFolder(const std::filesystem::path& base,
                                        const std::string& prefix) {
    // mkdtemp makes the folder with mode 0700 in one step: no window for anyone else.
    const std::string pattern = (base / (prefix + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        return {};
    }
    return std::filesystem::path(name.data());
}

bool IsOwnFolder(const std::filesystem::path& path) {
    // /dev/shm and /tmp are shared by every user.
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

} // namespace pop3::detail
