// The login as the server sees it: which method goes out for what the server offers, that
// the password stays home where no method it allows is offered, and that the login ends at
// the first refusal or broken reply with nothing more sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "pop3/pop.h"
#include "support/scripted_pop3_server.h"

namespace {

using testsupport::ScriptedPop3Server;

TEST(Pop3Login, EachMethodGoesOutOnlyWhereOfferedAndTheLoginEndsAtTheFirstRefusal) {
    using M = pop3::LoginMethod;
    // The RFCs' own examples: RFC 1939's APOP, RFC 2195's CRAM-MD5 and RFC 4616's PLAIN.
    const std::string apop = "+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n";
    const std::string cram = "AUTH CRAM-MD5\r\n+ PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm"
                             "1jaS5uZXQ+\r\ndGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n";
    const std::string cramPw = "tanstaaftanstaaf";
    const std::string user = "USER tim\r\n+OK\r\n", userPass = user + "PASS pw\r\n+OK\r\n";
    const std::string hi = "+OK hi\r\n", sasl = "+OK\r\nSASL PLAIN\r\n.\r\n";
    const std::string longUser(250, 'u');
    const char* const kNotUnderstood = "The server's reply was not understood";
    const struct {
        const char* name;
        std::string greeting, capa; // no greeting: a silent server; no CAPA: not asked for
        // Each line the client must send, each followed by the server's one-line answer;
        // an answer without its line end is followed by the server hanging up.
        std::string exchange;
        const char* error;
        const char* used = "";
        M method = M::Normal;
        std::string user = "tim", password = "pw";
    } cases[] = {
        {"USER offered", hi, "+OK\r\nUSER\r\nSASL PLAIN\r\n.\r\n", userPass, "", "USER"},
        {"SASL PLAIN without USER", hi, sasl, "AUTH PLAIN AHRpbQB0YW5zdGFhZnRhbnN0YWFm\r\n+OK\r\n",
         "", "AUTH PLAIN", M::Normal, "tim", cramPw},
        // RFC 5034: an AUTH line of more than 255 octets waits for the server's "+ ".
        {"SASL PLAIN too long for one line", hi, sasl,
         "AUTH PLAIN\r\n+ \r\n" + pop3::SaslPlainResponse(longUser, "pw") + "\r\n+OK\r\n", "",
         "AUTH PLAIN", M::Normal, longUser},
        {"no CAPA: USER", apop, "-ERR\r\n", userPass, "", "USER"},
        {"CRAM-MD5 before APOP", apop, "+OK\r\nUSER\r\nSASL PLAIN CRAM-MD5\r\n.\r\n",
         cram + "+OK\r\n", "", "AUTH CRAM-MD5", M::Encrypted, "tim", cramPw},
        {"CRAM-MD5 refused", hi, "+OK\r\nSASL CRAM-MD5\r\n.\r\n", cram + "-ERR [AUTH] no\r\n",
         "Bad Password Name", "AUTH CRAM-MD5", M::Encrypted, "tim", cramPw},
        {"CRAM-MD5 challenge no base64", hi, "+OK\r\nSASL CRAM-MD5\r\n.\r\n",
         "AUTH CRAM-MD5\r\n+ not base64!\r\n", kNotUnderstood, "AUTH CRAM-MD5", M::Encrypted},
        {"APOP", apop, "+OK\r\nUSER\r\n.\r\n",
         "APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\n+OK\r\n", "", "APOP", M::Encrypted,
         "mrose", "tanstaaf"},
        {"nothing encrypted offered", hi, "+OK\r\nUSER\r\nSASL PLAIN\r\n.\r\n", "",
         "This server does not offer an encrypted password login.", "", M::Encrypted},
        {"greeting refused", "-ERR too busy\r\n", "", "", "Bad Connection"},
        {"USER refused", hi, "-ERR\r\n", "USER tim\r\n-ERR who?\r\n", "Bad User Name"},
        {"PASS refused", hi, "-ERR\r\n", user + "PASS pw\r\n-ERR [AUTH]\r\n", "Bad Password Name"},
        // Status indicators in upper case only, as RFC 1939 writes them.
        {"greeting not understood", "hello\r\n", "", "", kNotUnderstood},
        {"USER answer in lower case", hi, "-ERR\r\n", "USER tim\r\n-err who?\r\n", kNotUnderstood},
        {"PASS answer not understood", hi, "-ERR\r\n", user + "PASS pw\r\nok\r\n", kNotUnderstood},
        {"USER answer cut off", hi, "-ERR\r\n", "USER tim\r\n+OK", "Error reading from socket!"},
        {"silent", "", "", "", "Server did not answer in time"},
        {"greeting too long", "+OK" + std::string(70000, '.') + "\r\n", "", "",
         "Reply line too long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPop3Server server;
        std::string sent;
        if (!c.greeting.empty()) {
            server.Reply(c.greeting);
        }
        if (!c.capa.empty()) {
            server.Exchanges({"CAPA\r\n", c.capa});
            sent = "CAPA\r\n";
        }
        for (std::size_t at = 0, answer, next; at < c.exchange.size(); at = next) {
            answer = c.exchange.find('\n', at) + 1;
            next = std::min(c.exchange.find('\n', answer), c.exchange.size() - 1) + 1;
            server.Exchanges(
                {c.exchange.substr(at, answer - at), c.exchange.substr(answer, next - answer)});
            sent += c.exchange.substr(at, answer - at);
        }
        if (!c.exchange.empty() && c.exchange.back() != '\n') {
            server.CloseConnection();
        }
        server.Start();
        {
            CPop pop;
            pop.SetTimeout(500);
            pop.SetLoginMethod(c.method);
            EXPECT_EQ(pop.Connect("127.0.0.1", server.Port(), c.user, c.password), *c.error == 0);
            EXPECT_EQ(pop.GetErrorText(), c.error);
            if (*c.used != 0) {
                EXPECT_EQ(pop.GetLoginUsed(), c.used);
            }
        }
        ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
        EXPECT_TRUE(server.Mismatches().empty());
        const std::string received = server.Received();
        EXPECT_EQ(received, sent); // nothing more after a refusal
        if (c.method == M::Encrypted) {
            EXPECT_EQ(received.find(c.password), std::string::npos)
                << "the password itself went out";
        }
    }
}

} // namespace
