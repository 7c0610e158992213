#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/stream.h"

namespace pop3 {
class ScratchFile;
}

// One POP3 session with one server over one blocking TCP connection. Every wait has a
// time limit; failures leave a text for GetErrorText(). Replies are framed: a status line
// is read through its CR LF, a multi-line reply through its closing "." line, whatever
// pieces the network delivers them in.
class CPop {
public:
    static constexpr int kDefaultTimeoutMs = 30000;

    CPop();
    virtual ~CPop();
    CPop(const CPop&) = delete;
    CPop& operator=(const CPop&) = delete;

    // Connects, reads the greeting and logs in with USER and PASS. A user name or
    // password that holds CR, LF or NUL, or does not fit a command line, is refused
    // before anything is sent.
    bool Connect(const std::string& host, unsigned int port, const std::string& user,
                 const std::string& password);
    bool Connect(); // with the stored host, port, user and password

    bool Stat();
    // Sizes of the messages: the listing line "n size" gives message n its size.
    bool List();
    // Headers and the first body lines of one message. True when "To:", "From:" and
    // "Date:" were all found; false without a failure text otherwise, and false with one
    // when the server refused or the reply could not be read.
    bool Top(int message, int lines);
    // The whole message after the status line, as received (closing "." line included).
    bool Retr(int message);
    bool Retr(int message, const std::string& outputFile);
    bool Dele(int message);
    bool Noop();
    bool Rset();
    bool Quit();

    int GetMessageCount() const { return m_MessageCount; }
    int GetTotalSize() const { return m_TotalSize; }
    int GetMessageSize(int message) const;
    std::string GetSummary() const { return m_Summary; }
    std::string GetErrorText() const { return m_Error; }
    std::string GetRetrText() const { return m_RetrText; }

    void SetHost(const std::string& host) { m_Host = host; }
    std::string GetHost() const { return m_Host; }
    void SetUser(const std::string& user) { m_User = user; }
    std::string GetUser() const { return m_User; }
    void SetPass(const std::string& pass) { m_Pass = pass; }
    std::string GetPass() const { return m_Pass; }
    void SetPort(unsigned int port) { m_Port = static_cast<int>(port); }

    // Time limit of the connect and of every receive.
    void SetTimeout(int milliseconds) { m_TimeoutMs = milliseconds; }

    // Read directly by the account after Top().
    std::string m_To;
    std::string m_From;
    std::string m_Subject;
    std::string m_Date;

private:
    enum class ReplyKind { Greeting, User, Pass, Quit, Dele, Rset, Stat, Noop, List, Retr, Top };
    using Sink = std::function<void(const char* data, std::size_t length)>;

    // The one place the transport is made: a secure channel would wrap the socket here.
    std::unique_ptr<net::Stream> OpenStream(const std::string& host, unsigned short port);
    bool SendCommand(const std::string& line);
    bool Command(const std::string& line, ReplyKind kind);
    bool ReadStatus(ReplyKind kind, std::string& status);
    bool ReadLine(std::string& line);
    bool ReadBody(const Sink& sink);
    bool ReceiveMore();
    std::string_view Pending() const;
    bool SpoolBody(pop3::ScratchFile& file);
    void ParseList(std::string_view text);
    bool ParseHeaders(std::string_view text);
    void ParseStat(const std::string& status);
    bool Fail(const char* text);

    std::map<int, int> m_Sizes; // message number -> octets, from the last LIST
    std::string m_Summary;
    std::string m_Error;
    std::string m_Pass;
    std::string m_User;
    std::string m_Host;
    std::string m_RetrText;
    int m_Port = 0;
    int m_TotalSize = 0;
    int m_MessageCount = 0;
    int m_TimeoutMs = kDefaultTimeoutMs;
    std::unique_ptr<net::Stream> m_Stream; // null until connected
    // Received bytes; those in [m_Begin, m_End) are not yet consumed by a reply.
    std::vector<char> m_Buffer;
    std::size_t m_Begin = 0;
    std::size_t m_End = 0;
};
