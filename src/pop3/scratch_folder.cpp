#include "pop3/scratch_folder.h"

#include <system_error>

#include "settings/process_id.h"

namespace pop3 {

namespace {

// Folders are named "tarnwick-<process id>-<suffix>".
const char kPrefix[] = "tarnwick-";

std::string OwnPrefix() {
    return kPrefix + std::to_string(process_id::Current()) + "-";
}

using Name = std::filesystem::path::string_type; // the system's own characters: no conversion

// The process id a folder name carries, 0 when the name is not a scratch folder's.
unsigned long OwnerOf(const Name& name) {
    const Name prefix = std::filesystem::path(kPrefix).native();
    if (name.compare(0, prefix.size(), prefix) != 0)
        return 0;
    const auto dash = name.find('-', prefix.size());
    if (dash == Name::npos || dash + 1 == name.size())
        return 0;
    using View = std::basic_string_view<Name::value_type>;
    return process_id::Parse(View(name).substr(prefix.size(), dash - prefix.size()));
}

std::filesystem::path CreateFolder() {
    for (const std::filesystem::path& base : detail::ScratchBases()) {
        std::filesystem::path folder = detail::MakePrivateFolder(base, OwnPrefix());
        if (!folder.empty())
            return folder;
    }
    return {};
}

class ScratchHolder {
public:
    ScratchHolder() : m_path(CreateFolder()) { RemoveAbandonedScratchFolders(); }
    ~ScratchHolder() {
        if (!m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    ScratchHolder(const ScratchHolder&) = delete;
    ScratchHolder& operator=(const ScratchHolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace

std::filesystem::path ScratchFolder() {
    static const ScratchHolder holder;
    return holder.Path();
}

std::mutex& ScratchLock() {
    static std::mutex lock;
    return lock;
}

void RemoveAbandonedScratchFolders() {
    const unsigned long self = process_id::Current();
    for (const std::filesystem::path& base : detail::ScratchBases()) {
        std::error_code error;
        std::filesystem::directory_iterator entries(base, error);
        for (; !error && entries != std::filesystem::directory_iterator();
             entries.increment(error)) {
            const std::filesystem::path& path = entries->path();
            const unsigned long owner = OwnerOf(path.filename().native());
            if (owner == 0 || owner == self || !detail::IsOwnFolder(path) ||
                !process_id::IsGone(owner))
                continue;
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
}

} // namespace pop3
