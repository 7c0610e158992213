#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "settings/profile.h"

// A private folder with a profile file that the application profile points at for the
// life of one test; the folder goes and the previous profile path comes back afterwards.
class TempProfile {
public:
    TempProfile() : m_previous(Profile::Application().Path()) {
        static std::atomic<unsigned> counter{0};
        std::random_device random;
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        m_folder = std::filesystem::temp_directory_path() /
                   ("tarnwick-settings-" + std::to_string(random()) + "-" + std::to_string(ticks) +
                    "-" + std::to_string(++counter));
        std::filesystem::create_directories(m_folder);
        Profile::UseFile(Path());
    }
    ~TempProfile() {
        Profile::UseFile(m_previous);
        std::error_code ignored;
        std::filesystem::permissions(m_folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_folder, ignored);
    }
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    const std::filesystem::path& Folder() const { return m_folder; }
    std::string Path() const { return (m_folder / "tarnwick.ini").string(); }

    // The file's bytes; empty when it does not exist.
    std::string Read() const { return ReadFile(Path()); }
    void Write(const std::string& bytes) const {
        std::ofstream(Path(), std::ios::binary | std::ios::trunc) << bytes;
    }

    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    // Names of everything in the folder, to spot leftover temporary files.
    std::size_t EntryCount() const {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_folder))
            ++count;
        return count;
    }

private:
    std::string m_previous;
    std::filesystem::path m_folder;
};
