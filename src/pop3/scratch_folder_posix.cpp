#include "pop3/scratch_folder.h"

#include <stdlib.h>
#include <string>
#include <system_error>
#include <vector>

namespace pop3 {

std::filesystem::path CreatePrivateFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        return {};
    }
    // mkdtemp makes the folder with mode 0700 in one step: no window for anyone else.
    const std::string pattern = (base / "tarnwick-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        return {};
    }
    return std::filesystem::path(name.data());
}

} // namespace pop3
