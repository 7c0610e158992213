#include "pop3/scratch_file.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace pop3 {

ScratchFile::ScratchFile(std::filesystem::path path) : m_path(std::move(path)) {
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        m_handle = fd;
    }
}

void ScratchFile::Discard() {
    if (IsOpen()) {
        ::close(static_cast<int>(m_handle));
        ::unlink(m_path.c_str());
        m_handle = kNoHandle;
    }
}

bool ScratchFile::Write(const char* data, std::size_t length) {
    while (IsOpen() && length > 0) {
        const ssize_t written = ::write(static_cast<int>(m_handle), data, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
        m_size += static_cast<std::size_t>(written);
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
        const ssize_t count = ::pread(static_cast<int>(m_handle), &contents[got], m_size - got,
                                      static_cast<off_t>(got));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            break; // shorter than written: take what is there
        }
        got += static_cast<std::size_t>(count);
    }
    contents.resize(got);
    return true;
}

} // namespace pop3
