#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace pop3 {

// One reply spooled to a scratch file of a fixed name: created empty (replacing a leftover),
// written as the reply arrives, read back whole for the parse, and removed when the object
// goes. One handle serves all of it: a reply per TOP makes every system call count.
class ScratchFile {
public:
    // Check IsOpen(): the file may not be creatable.
    explicit ScratchFile(std::filesystem::path path);
    ~ScratchFile();
    ScratchFile(ScratchFile&& other) noexcept;
    ScratchFile& operator=(ScratchFile&& other) noexcept;
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool IsOpen() const { return m_handle != kNoHandle; }
    bool Write(const char* data, std::size_t length);
    // Everything written so far, as the file holds it.
    bool ReadBack(std::string& contents) const;

private:
    static constexpr std::intptr_t kNoHandle = -1;

    void Discard(); // closes and removes

    std::filesystem::path m_path;
    std::intptr_t m_handle = kNoHandle;
    std::size_t m_size = 0;
};

} // namespace pop3
