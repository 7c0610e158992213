#pragma once

#include <mutex>
#include <string>

// The application profile: sections of named integer and string values in an INI file.
// Every write replaces the file atomically, so a crash or a full disk never leaves a
// half-written profile; lines the program does not know are kept. Nothing is cached:
// each read reads the file, each write rewrites it. Safe to share between threads.
class Profile {
public:
    explicit Profile(std::string path);
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // A missing file, section or key gives the default; integers are read by atoi rules.
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue = std::string()) const;
    // False when nothing was stored; the previous file is then left as it was.
    bool WriteInt(const std::string& section, const std::string& key, int value);
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);

    std::string Path() const;
    void SetPath(std::string path);

    // The profile every settings record reads and writes. Starts at DefaultPath().
    static Profile& Application();
    // Points the application profile at another file (tests, --profile).
    static void UseFile(const std::string& path);
    // %APPDATA%\Tarnwick\tarnwick.ini on Windows, the XDG configuration folder elsewhere.
    static std::string DefaultPath();

private:
    bool Lookup(const std::string& section, const std::string& key, std::string& value) const;

    std::string m_path;
    mutable std::mutex m_mutex;
};
