#include "settings/atomic_file.h"

#include <atomic>
#include <system_error>

#include "settings/process_id.h"

namespace atomic_file::detail {

namespace {

const char kMark[] = ".tmp.";

using Name = std::filesystem::path::string_type; // the system's own characters: no conversion

// The writer's process id when name is one of target's temporary names, else 0.
unsigned long WriterOf(const Name& name, const Name& target) {
    const Name stem = target + std::filesystem::path(kMark).native();
    if (name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0)
        return 0;
    using View = std::basic_string_view<Name::value_type>;
    const View rest = View(name).substr(stem.size());
    const auto dot = rest.find('.');
    if (dot == View::npos || process_id::Parse(rest.substr(dot + 1)) == 0)
        return 0;
    return process_id::Parse(rest.substr(0, dot));
}

} // namespace

std::filesystem::path TemporaryName(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path name = target;
    name += kMark + std::to_string(process_id::Current()) + "." + std::to_string(++counter);
    return name;
}

void RemoveStrayTemporaries(const std::filesystem::path& target) {
    // Another writer in this process may be between its write and its rename; a writer
    // whose process is gone never will be.
    const unsigned long self = process_id::Current();
    const Name targetName = target.filename().native();
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const unsigned long writer = WriterOf(entries->path().filename().native(), targetName);
        std::error_code status;
        if (writer == 0 || writer == self || !entries->is_regular_file(status) ||
            entries->is_symlink(status) || !process_id::IsGone(writer))
            continue;
        std::error_code ignored;
        std::filesystem::remove(entries->path(), ignored);
    }
}

} // namespace atomic_file::detail
