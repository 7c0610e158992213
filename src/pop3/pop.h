#pragma once

#include <string>
#include <vector>

#include "net/tcp_socket.h"

// One POP3 session with one server over one blocking TCP connection. Every wait has a
// time limit; failures leave a text for GetErrorText().
class CPop {
public:
    static constexpr int kDefaultTimeoutMs = 30000;

    CPop();
    virtual ~CPop();
    CPop(const CPop&) = delete;
    CPop& operator=(const CPop&) = delete;

    // Connects, reads the greeting and logs in with USER and PASS.
    bool Connect(const std::string& host, unsigned int port, const std::string& user,
                 const std::string& password);
    bool Connect(); // with the stored host, port, user and password

    bool Stat();
    bool List();
    bool Top(int message, int lines);
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
    // ... implementation detail left to the implementer of this class
    std::vector<unsigned int> m_Sizes;
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
    net::TcpSocket m_Socket;
};
