#pragma once

#include <mutex>
#include <string>
#include <vector>

// The application profile: sections of named integer and string values in an INI file.
// Every write replaces the file atomically, so a crash or a full disk never leaves a
// half-written profile; lines the program does not know are kept. Nothing is cached:
// each read reads the file, each write rewrites it. A record saves all its values in one
// write (ProfileBatch). Safe to share between threads.
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

    struct Value {
        std::string section;
        std::string key;
        std::string text;
    };
    // Every value in one replace of the file, or none: false, with the file as it was, when
    // a name is not valid or nothing was stored.
    bool WriteAll(const std::vector<Value>& values);

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

// The values of one save, gathered and then stored by one replace of the profile file: a
// save is one disk write, and a crash never leaves half of a record saved.
class ProfileBatch {
public:
    explicit ProfileBatch(Profile& profile) : m_profile(profile) {}
    ProfileBatch(const ProfileBatch&) = delete;
    ProfileBatch& operator=(const ProfileBatch&) = delete;

    // A later value of the same key replaces the earlier one.
    void WriteInt(const std::string& section, const std::string& key, int value);
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    // Stores what was gathered and starts afresh; true when there was nothing to store.
    bool Commit();

private:
    Profile& m_profile;
    std::vector<Profile::Value> m_values;
};
