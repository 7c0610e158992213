#include "pop3/scratch_folder.h"

#include <system_error>

namespace pop3 {

namespace {

class ScratchHolder {
public:
    ScratchHolder() : m_path(CreatePrivateFolder()) {}
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

} // namespace pop3
