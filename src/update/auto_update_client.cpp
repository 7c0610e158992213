#include "update/auto_update_client.h"

#include <cctype>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "net/host_port.h"
#include "net/tcp_socket.h"
#include "res/maker.h"
#include "settings/profile.h"

namespace {

const char kSection[] = "AutoUpdate";
constexpr unsigned short kHttpPort = 80;
constexpr size_t kReplyLimit = 255;
std::atomic<int> s_timeLimitMs{5000};

// atoi's reading without its undefined overflow: blanks, a sign, digits to the first other
// character, clamped to the range of int.
int ReadNumber(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (text.size() < length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

// The characters a URI may hold (letters, digits, the unreserved and reserved marks, and
// '%' for escapes); quotes, blanks, backslashes and control characters are not among them.
bool IsUriCharacter(char c) {
    if (std::isalnum(static_cast<unsigned char>(c)))
        return true;
    return std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr && c != '\0';
}

} // namespace

CAutoUpdateClient::CAutoUpdateClient(int force) : CAutoUpdateClient(force, nullptr) {}

CAutoUpdateClient::CAutoUpdateClient(int force, std::shared_ptr<net::CancelSignal> cancel)
    : m_Cancel(std::move(cancel)) {
    const bool complete = Load();
    m_NewVersion = false;
    m_DownloadURL.clear();
    if (!complete)
        Fail("The update settings name no update server.");
    if (complete) {
        ++m_Activation;
        if ((force != 0 || m_Activation >= m_Interval) && Check())
            m_Activation = 0;
    }
    Save();
}

CAutoUpdateClient::CAutoUpdateClient(std::string server, std::string path, int currentVersion,
                                     int interval)
    : m_Server(std::move(server)), m_Path(std::move(path)), m_CurrentVersion(currentVersion),
      m_Interval(interval) {}

bool CAutoUpdateClient::Load() {
    const Profile& profile = Profile::Application();
    m_Interval = profile.GetInt(kSection, "Interval", 3);
    m_Path = profile.GetString(kSection, "Path");
    m_Server = profile.GetString(kSection, "Server");
    m_DownloadURL = profile.GetString(kSection, "DownloadURL");
    m_CurrentVersion = profile.GetInt(kSection, "CurrentVersion", 0);
    m_Activation = profile.GetInt(kSection, "Activation", 0);
    return !m_Path.empty() && !m_Server.empty() && m_CurrentVersion != 0;
}

bool CAutoUpdateClient::Save() {
    ProfileBatch batch(Profile::Application());
    batch.WriteInt(kSection, "Interval", m_Interval);
    batch.WriteString(kSection, "Path", m_Path);
    batch.WriteString(kSection, "Server", m_Server);
    batch.WriteString(kSection, "DownloadURL", m_DownloadURL);
    batch.WriteInt(kSection, "CurrentVersion", m_CurrentVersion);
    batch.WriteInt(kSection, "Activation", m_Activation);
    return batch.Commit();
}

bool CAutoUpdateClient::Check() {
    m_Checked = false;
    m_FailureText.clear();
    const auto server = net::SplitHostPort(m_Server, kHttpPort);
    if (!server)
        return Fail("The update server's name is not valid.");
    std::string text;
    {
        const int limit = s_timeLimitMs.load();
        net::TcpSocket socket;
        socket.SetCancelSignal(m_Cancel);
        if (!socket.Connect(server->host, server->port, limit))
            return Fail("The update server could not be reached.");
        // A request of the oldest HTTP form: no version, no headers, no CR.
        const std::string request = "GET " + m_Path + "\n";
        if (!socket.SendAll(request.data(), request.size(), limit))
            return Fail("The connection to the update server failed.");
        char buffer[kReplyLimit + 1] = {};
        const net::RecvResult got = socket.Receive(buffer, kReplyLimit, limit);
        if (got.status == net::RecvStatus::TimedOut)
            return Fail("The update server did not answer in time.");
        if (got.status == net::RecvStatus::Error)
            return Fail("The connection to the update server failed.");
        if (got.status == net::RecvStatus::Data)
            text = buffer; // taken as text: a NUL ends it
    }

    const size_t version = text.find("version=");
    if (version == std::string::npos)
        return Fail("The update server's answer names no version.");
    const size_t versionEnd = text.find('\n', version);
    if (versionEnd == std::string::npos)
        return Fail("The update server's answer names no version.");
    m_Checked = true;
    const size_t digits = version + std::strlen("version=");
    if (ReadNumber(text.substr(digits, versionEnd - digits)) <= m_CurrentVersion) {
        m_NewVersion = false;
        return true;
    }
    m_NewVersion = true;
    const size_t url = text.find("url=", versionEnd);
    if (url == std::string::npos)
        return false;
    const size_t start = url + std::strlen("url=");
    const size_t end = text.find('\n', start);
    std::string address = text.substr(start, end == std::string::npos ? end : end - start);
    // A CR LF line end leaves its CR behind, which is no part of an address.
    if (!address.empty() && address.back() == '\r')
        address.pop_back();
    if (!IsAcceptableDownloadURL(address))
        return false;
    m_DownloadURL = std::move(address);
    return true;
}

bool CAutoUpdateClient::Fail(const char* reason) {
    m_FailureText = reason;
    return false;
}

int CAutoUpdateClient::GetCurrentVersion() {
    return Profile::Application().GetInt(kSection, "CurrentVersion", 0);
}

void CAutoUpdateClient::SetCurrentVersion(int version) {
    Profile::Application().WriteInt(kSection, "CurrentVersion", version);
}

bool CAutoUpdateClient::IsAcceptableDownloadURL(const std::string& url) {
    size_t host = 0;
    if (StartsWithNoCase(url, "http://"))
        host = std::strlen("http://");
    else if (StartsWithNoCase(url, "https://"))
        host = std::strlen("https://");
    else
        return false;
    if (url.size() == host || url[host] == '/')
        return false;
    for (const char c : url) {
        if (!IsUriCharacter(c))
            return false;
    }
    return true;
}

void CAutoUpdateClient::SetTimeLimit(int milliseconds) {
    s_timeLimitMs = milliseconds;
}

void SeedUpdateSettings() {
    CAutoUpdateClient(TARNWICK_UPDATE_SERVER, TARNWICK_UPDATE_FILE, kProgramVersion, 3).Save();
}
