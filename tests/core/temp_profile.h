#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "settings/profile.h"

// A private folder with a profile file that the application profile points at for the
// life of one test; the folder goes and the previous profile path comes back afterwards.
class TempProfile {
public:
    TempProfile() : m_previous(Profile::Application().Path()) {
        std::random_device random;
        m_folder = std::filesystem::temp_directory_path() /
                   ("tarnwick-settings-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_folder);
        Profile::UseFile(Path());
    }
    ~TempProfile() {
        Profile::UseFile(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    const std::filesystem::path& Folder() const { return m_folder; }
    std::string Path() const { return (m_folder / "tarnwick.ini").string(); }
    std::string Read() const { return ReadFile(Path()); } // empty when there is no file
    void Write(const std::string& bytes) const { std::ofstream(Path(), std::ios::binary) << bytes; }
    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // To spot leftover temporary files.
    long EntryCount() const {
        return static_cast<long>(std::distance(std::filesystem::directory_iterator(m_folder), {}));
    }

private:
    std::string m_previous;
    std::filesystem::path m_folder;
};
