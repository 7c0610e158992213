// Secure sessions that cannot be had: the check fails within its limit, and the login never
// goes out. A deletion opens its session the same way.
#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "pop3/messages.h"
#include "settings/account.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::ScriptedPop3Server;

TEST(AccountSecurity, WithoutASecureChannelTheCheckFailsAndNoLoginGoesOut) {
    const std::string noStls = "The server does not offer a secure connection (STLS)";
    const std::string late = "Server did not answer in time";
    const std::string stls = "+OK\r\nSTLS\r\n.\r\n";
    const struct {
        const char* fault;
        std::string capa;
        std::string stlsAnswer; // none: STLS is not expected
        std::string error;
        // Only a cut or silent line is worth another try: a server without a secure
        // channel stays without one.
        bool passing = false;
        bool hangUp = false; // after the answer to STLS; else silence
    } faults[] = {
        {"STLS not listed", "+OK\r\nUIDL\r\nPIPELINING\r\nUSER\r\n.\r\n", "", noStls},
        {"CAPA refused", "-ERR\r\n", "", noStls},
        {"STLS refused", stls, "-ERR not now\r\n", noStls},
        // Text after the "+OK" came in plain text: it must not pass for a secure reply.
        {"plain text after STLS", stls, "+OK begin\r\n+OK forged\r\n", noStls},
        {"dropped in the handshake", stls, "+OK begin\r\n",
         "The server closed the connection during the secure handshake", true, true},
        {"silent in the handshake", stls, "+OK begin\r\n", late, true},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.fault);
        ScriptedPop3Server server;
        server.Reply("+OK ready\r\n").Exchanges({"CAPA\r\n", f.capa});
        if (!f.stlsAnswer.empty()) {
            server.Exchanges({"STLS\r\n", f.stlsAnswer});
        }
        f.hangUp ? server.CloseConnection() : server.Silence();
        server.Start();
        Account account;
        account.Set("ann", "secret", server.Address(), 8, 1);
        account.m_Security = pop3::Security::StartTls;
        // Loading the trust store for the handshake alone can take over a second in an
        // instrumented build on a busy machine; only the silent server needs a short limit.
        account.SetTimeout(f.error == late ? 1000 : 4000);
        Messages* list = nullptr;
        const auto start = std::chrono::steady_clock::now();
        account.CheckMail(list);
        EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
        EXPECT_EQ(list, nullptr);
        EXPECT_EQ(account.GetErrorText(), f.error);
        EXPECT_EQ(f.passing, account.GetFault().kind == pop3::FaultKind::Passing);
        server.Stop();
        EXPECT_TRUE(server.Mismatches().empty());
        EXPECT_EQ(server.Received().find("USER"), std::string::npos) << server.Received();
        EXPECT_EQ(server.Received().find("PASS"), std::string::npos);
    }
}

} // namespace
