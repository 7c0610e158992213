#include "settings/atomic_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace atomic_file {

namespace {

// A profile is a few hundred bytes; anything far larger is not ours to load.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    bool Close() {
        if (m_fd < 0)
            return true;
        const bool ok = ::close(m_fd) == 0;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd;
};

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

void CreateFolders(const std::string& path) {
    // Failures are left to the file creation that follows, which reports them.
    for (auto slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A profile kept elsewhere through a symbolic link (as dotfile managers do) stays a link:
// the file it points to is the one replaced.
std::string LinkTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path;
    std::string target = resolved;
    std::free(resolved);
    return target;
}

} // namespace

ReadResult ReadAll(const std::string& path, std::string& content) {
    content.clear();
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileSize)
        return ReadResult::Failed;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ReadResult::Failed;
        }
        if (n == 0)
            return ReadResult::Ok;
        if (content.size() + static_cast<std::size_t>(n) > static_cast<std::size_t>(kMaxFileSize))
            return ReadResult::Failed;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

bool Replace(const std::string& givenPath, const std::string& content) {
    const std::string path = LinkTarget(givenPath);
    CreateFolders(path);
    // The password lives in here: private unless the user chose otherwise.
    mode_t mode = 0600;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        mode = old.st_mode & 0777;

    detail::RemoveStrayTemporaries(path);
    const std::string temporary = detail::TemporaryName(path).string();
    FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (!file.IsOpen())
        return false;
    const bool written = WriteAll(file.Get(), content) && ::fchmod(file.Get(), mode) == 0 &&
                         ::fsync(file.Get()) == 0;
    if (!file.Close() || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Makes the rename itself durable; the new file is complete either way.
    FileDescriptor folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.IsOpen())
        ::fsync(folder.Get());
    return true;
}

} // namespace atomic_file
