#include "pop3/scratch_file.h"

#include <utility>

namespace pop3 {

ScratchFile::~ScratchFile() {
    Discard();
}

ScratchFile::ScratchFile(ScratchFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_handle(std::exchange(other.m_handle, kNoHandle)),
      m_size(std::exchange(other.m_size, 0)) {}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept {
    if (this != &other) {
        Discard();
        m_path = std::move(other.m_path);
        m_handle = std::exchange(other.m_handle, kNoHandle);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

} // namespace pop3
