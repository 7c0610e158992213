// Secure sessions that cannot be had: the check or deletion fails within its limit, and
// the login never goes out.
#include <chrono>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "pop3/messages.h"
#include "settings/account.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::ScriptedPop3Server;

TEST(AccountSecurity, WithoutASecureChannelTheSessionFailsAndNoLoginGoesOut) {
    const std::string noStls = "The server does not offer a secure connection (STLS)";
    const auto stlsAnswered = [](const std::string& answer) {
        return [answer](ScriptedPop3Server& s) {
            s.Expect("CAPA\r\n").Reply("+OK\r\nSTLS\r\n.\r\n").Expect("STLS\r\n").Reply(answer);
        };
    };
    const struct {
        const char* fault;
        std::function<void(ScriptedPop3Server&)> script; // after the greeting
        std::string error;
        // Only a cut or silent line is worth another try: a server without a secure
        // channel stays without one.
        bool passing = false;
    } faults[] = {
        {"STLS not listed",
         [](ScriptedPop3Server& s) {
             s.Expect("CAPA\r\n").Reply("+OK\r\nUIDL\r\nPIPELINING\r\nUSER\r\n.\r\n");
         },
         noStls},
        {"CAPA refused", [](ScriptedPop3Server& s) { s.Expect("CAPA\r\n").Reply("-ERR\r\n"); },
         noStls},
        {"STLS refused", stlsAnswered("-ERR not now\r\n"), noStls},
        // Text after the "+OK" came in plain text: it must not pass for a secure reply.
        {"plain text after STLS", stlsAnswered("+OK begin\r\n+OK forged\r\n"), noStls},
        {"dropped in the handshake",
         [&](ScriptedPop3Server& s) {
             stlsAnswered("+OK begin\r\n")(s);
             s.CloseConnection();
         },
         "The server closed the connection during the secure handshake", true},
        {"silent in the handshake",
         [&](ScriptedPop3Server& s) {
             stlsAnswered("+OK begin\r\n")(s);
             s.Silence();
         },
         "Server did not answer in time", true},
    };
    for (const auto& f : faults) {
        for (const bool deletion : {false, true}) {
            SCOPED_TRACE(std::string(f.fault) + (deletion ? ", deletion" : ", check"));
            ScriptedPop3Server server;
            server.Reply("+OK ready\r\n");
            f.script(server);
            server.Start();
            Account account;
            account.Set("ann", "secret", server.Address(), 8, 1);
            account.m_Security = pop3::Security::StartTls;
            // Loading the trust store for the handshake alone can take over a second in an
            // instrumented build on a busy machine; only the silent server needs a short limit.
            const bool silent = f.error == "Server did not answer in time";
            account.SetTimeout(silent ? 1000 : 4000);
            Messages* list = nullptr;
            const auto start = std::chrono::steady_clock::now();
            if (deletion) {
                EXPECT_FALSE(account.DeleteMessage(1, MessageIdentity()));
            } else {
                account.CheckMail(list);
                EXPECT_EQ(account.GetStatus(), Account::CheckFailed);
            }
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
            EXPECT_EQ(list, nullptr);
            EXPECT_EQ(account.GetErrorText(), f.error);
            if (!deletion) {
                EXPECT_EQ(f.passing, account.GetFault().kind == pop3::FaultKind::Passing);
            }
            server.Stop();
            EXPECT_TRUE(server.Mismatches().empty());
            EXPECT_EQ(server.Received().find("USER"), std::string::npos) << server.Received();
            EXPECT_EQ(server.Received().find("PASS"), std::string::npos);
        }
    }
}

} // namespace
