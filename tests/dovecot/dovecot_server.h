#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/temp_profile.h"

struct ProcessResult {
    int exitCode = -1; // 124 when the time limit ended it
    std::string out;
    std::string err;
};

// A real Dovecot POP3 server on 127.0.0.1 through tools/dovecot.sh, in a temporary folder
// of its own; started on first use, stopped at exit. User "test", password "secret".
class DovecotServer {
public:
    static DovecotServer& Get();
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    const std::string& Error() const { return m_error; } // why it did not start
    unsigned short Port() const { return m_port; }
    std::string Server() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Implicit TLS; the plain port offers STLS. The certificates of tools/dovecot.sh are in
    // CertificateFolder().
    unsigned short TlsPort() const { return m_tlsPort; }
    std::string CertificateFolder() const { return m_folder + "/certs"; }
    const std::string& Folder() const { return m_folder; }

    // Replaces the mailbox with count generated messages, message i + 1 of exactly
    // sizes[i] octets when given.
    bool Seed(int count, const std::vector<int>& sizes = {});
    // Replaces the mailbox with these message files, in this order.
    void SeedFiles(const std::vector<std::string>& paths);
    // Runs a shell command line (of words that need no quoting) with the given input, in a
    // session of its own (no terminal to ask on) and within a time limit.
    ProcessResult Run(const std::string& command, const std::string& input = "");

private:
    DovecotServer();
    std::string m_folder;
    unsigned short m_port = 0;
    unsigned short m_tlsPort = 0;
    std::string m_error;
};

class DovecotTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Dovecot().Error(), ""); }
    static DovecotServer& Dovecot() { return DovecotServer::Get(); }
};
