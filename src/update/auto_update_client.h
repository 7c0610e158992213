#pragma once

#include <memory>
#include <string>

#include "res/version.h"

namespace net {
class CancelSignal;
}

// The version number of this program, kept under "CurrentVersion" of section "AutoUpdate".
constexpr int kProgramVersion = TARNWICK_VERSION_NUMBER;

// The occasional check for a newer version: counts the chances it is given across program
// runs and, every so many chances (or when forced), asks the update server for the update
// file. Settings live in section "AutoUpdate" of the application profile. Making a client
// with the first constructor is the check.
class CAutoUpdateClient {
public:
    // Loads the settings, counts a chance, checks when due or forced, saves the settings.
    explicit CAutoUpdateClient(int force);
    // The same, on a thread another one may stop through `cancel`.
    CAutoUpdateClient(int force, std::shared_ptr<net::CancelSignal> cancel);
    // Only sets the fields (the first run seeds them this way, then calls Save).
    CAutoUpdateClient(std::string server, std::string path, int currentVersion, int interval);
    virtual ~CAutoUpdateClient() = default;
    CAutoUpdateClient(const CAutoUpdateClient&) = delete;
    CAutoUpdateClient& operator=(const CAutoUpdateClient&) = delete;

    bool Load(); // true when server, path and version are all set
    bool Save();
    // One request and one read; true when a version line was read and, when it names a
    // newer version, an acceptable address line too.
    bool Check();

    bool IsNewVersion() const { return m_NewVersion; }
    // True when this object asked the server and read its answer.
    bool HasChecked() const { return m_Checked; }
    // Why the check did not happen or could not be read; empty after a readable answer.
    std::string GetFailureText() const { return m_FailureText; }
    std::string GetDownloadURL() const { return m_DownloadURL; }

    static int GetCurrentVersion();
    static void SetCurrentVersion(int version);

    // Only an "http://" or "https://" address of URI characters may be shown as a link: the
    // update file comes from the network and must never make a click start a local program.
    static bool IsAcceptableDownloadURL(const std::string& url);
    // How long connecting and the read may each take, in milliseconds.
    static void SetTimeLimit(int milliseconds);

    bool m_NewVersion = false;
    std::string m_Server;
    std::string m_Path;
    std::string m_DownloadURL;
    int m_CurrentVersion = 0;
    int m_Interval = 3;
    int m_Activation = 0;

private:
    bool Fail(const char* reason);

    std::shared_ptr<net::CancelSignal> m_Cancel;
    bool m_Checked = false;
    std::string m_FailureText;
};

// The first run of a version stores the maker's update host and file, interval 3, no
// chance counted yet, in the order Save writes them.
void SeedUpdateSettings();
