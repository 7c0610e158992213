// The login methods as the server sees them: which one goes out for what the server offers,
// and that the password stays home where no method it allows is offered.
#include <gtest/gtest.h>

#include <string>

#include "pop3/pop.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::ScriptedPop3Server;

TEST(Pop3Login, EachMethodGoesOutOnlyWhereTheServerOffersIt) {
    using M = pop3::LoginMethod;
    // The RFCs' own examples: RFC 1939's APOP, RFC 2195's CRAM-MD5 and RFC 4616's PLAIN.
    const std::string apop = "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n";
    const std::string cram = "AUTH CRAM-MD5\r\n+ PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm"
                             "1jaS5uZXQ+\r\ndGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n";
    const std::string userPass = "USER tim\r\n+OK\r\nPASS pw\r\n+OK\r\n";
    const std::string longUser(250, 'u');
    const char* const kRefused = "Bad Password Name";
    const struct {
        const char* name;
        M method;
        std::string user, password, greeting, capa;
        // Each line the client must send, each followed by the server's one-line answer.
        std::string exchange;
        const char* used;
        const char* error;
    } cases[] = {
        {"USER offered", M::Normal, "tim", "pw", "+OK hi\r\n", "+OK\r\nUSER\r\nSASL PLAIN\r\n.\r\n",
         userPass, "USER", ""},
        {"SASL PLAIN without USER", M::Normal, "tim", "tanstaaftanstaaf", "+OK hi\r\n",
         "+OK\r\nSASL PLAIN\r\n.\r\n", "AUTH PLAIN AHRpbQB0YW5zdGFhZnRhbnN0YWFm\r\n+OK\r\n",
         "AUTH PLAIN", ""},
        // RFC 5034: an AUTH line of more than 255 octets waits for the server's "+ ".
        {"SASL PLAIN too long for one line", M::Normal, longUser, "pw", "+OK hi\r\n",
         "+OK\r\nSASL PLAIN\r\n.\r\n",
         "AUTH PLAIN\r\n+ \r\n" + pop3::SaslPlainResponse(longUser, "pw") + "\r\n+OK\r\n",
         "AUTH PLAIN", ""},
        {"no CAPA: USER", M::Normal, "tim", "pw", apop, "-ERR\r\n", userPass, "USER", ""},
        {"CRAM-MD5 before APOP", M::Encrypted, "tim", "tanstaaftanstaaf", apop,
         "+OK\r\nUSER\r\nSASL PLAIN CRAM-MD5\r\n.\r\n", cram + "+OK\r\n", "AUTH CRAM-MD5", ""},
        {"CRAM-MD5 refused", M::Encrypted, "tim", "tanstaaftanstaaf", "+OK hi\r\n",
         "+OK\r\nSASL CRAM-MD5\r\n.\r\n", cram + "-ERR [AUTH] no\r\n", "AUTH CRAM-MD5", kRefused},
        {"CRAM-MD5 challenge no base64", M::Encrypted, "tim", "tanstaaftanstaaf", "+OK hi\r\n",
         "+OK\r\nSASL CRAM-MD5\r\n.\r\n", "AUTH CRAM-MD5\r\n+ not base64!\r\n", "AUTH CRAM-MD5",
         "The server's reply was not understood"},
        {"APOP", M::Encrypted, "mrose", "tanstaaf", apop, "+OK\r\nUSER\r\n.\r\n",
         "APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n+OK\r\n", "APOP", ""},
        {"nothing encrypted offered", M::Encrypted, "tim", "pw", "+OK hi\r\n",
         "+OK\r\nUSER\r\nSASL PLAIN\r\n.\r\n", "", "",
         "This server does not offer an encrypted password login."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPop3Server server;
        server.Reply(c.greeting).Expect("CAPA\r\n").Reply(c.capa);
        std::string sent = "CAPA\r\n";
        for (std::size_t at = 0; at < c.exchange.size();) {
            const std::size_t answer = c.exchange.find('\n', at) + 1;
            const std::size_t next = c.exchange.find('\n', answer) + 1;
            server.Expect(c.exchange.substr(at, answer - at));
            server.Reply(c.exchange.substr(answer, next - answer));
            sent += c.exchange.substr(at, answer - at);
            at = next;
        }
        server.Start();
        {
            CPop pop;
            pop.SetTimeout(1000);
            pop.SetLoginMethod(c.method);
            EXPECT_EQ(pop.Connect("127.0.0.1", server.Port(), c.user, c.password), *c.error == 0);
            EXPECT_EQ(pop.GetErrorText(), c.error);
            EXPECT_EQ(pop.GetLoginUsed(), c.used);
        }
        ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
        EXPECT_TRUE(server.Mismatches().empty());
        const std::string received = server.Received();
        EXPECT_EQ(received, sent);
        if (c.method == M::Encrypted) {
            EXPECT_EQ(received.find(c.password), std::string::npos)
                << "the password itself went out";
        }
    }
}

} // namespace
