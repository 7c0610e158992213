// The login methods and the server's response codes against Dovecot: CRAM-MD5 and APOP with
// the right and a wrong password, its [AUTH] words, and [IN-USE] while another session holds
// the mailbox.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "dovecot_server.h"
#include "net/tcp_listener.h"
#include "net/tcp_socket.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/account.h"

namespace {

using DovecotLogin = DovecotTest;

// Between the client and Dovecot for one session, taking "CRAM-MD5" out of the server's
// SASL list, so that a client that wants an encrypted login has APOP left.
class NoCramRelay {
public:
    NoCramRelay() {
        EXPECT_TRUE(m_listener.Listen());
        m_thread = std::thread([this] { Run(); });
    }
    ~NoCramRelay() {
        m_stop = true;
        m_thread.join();
    }
    std::string Server() const { return "127.0.0.1:" + std::to_string(m_listener.Port()); }

private:
    void Run() {
        net::TcpSocket client;
        net::TcpSocket server;
        if (!m_listener.Accept(client, 5000) ||
            !server.Connect("127.0.0.1", DovecotServer::Get().Port(), 5000)) {
            return;
        }
        std::string fromServer; // a line at a time, so that no name is cut in two
        char buffer[4096];
        while (!m_stop) {
            net::RecvResult got = client.Receive(buffer, sizeof buffer, 20);
            if (got.status == net::RecvStatus::Data) {
                server.SendAll(buffer, got.bytes, 5000);
            } else if (got.status != net::RecvStatus::TimedOut) {
                return;
            }
            got = server.Receive(buffer, sizeof buffer, 20);
            if (got.status == net::RecvStatus::Data) {
                fromServer.append(buffer, got.bytes);
                std::size_t end;
                while ((end = fromServer.find('\n')) != std::string::npos) {
                    std::string line = fromServer.substr(0, end + 1);
                    fromServer.erase(0, end + 1);
                    const std::size_t cram = line.find(" CRAM-MD5");
                    if (line.rfind("SASL ", 0) == 0 && cram != std::string::npos) {
                        line.erase(cram, 9);
                    }
                    client.SendAll(line.data(), line.size(), 5000);
                }
            } else if (got.status != net::RecvStatus::TimedOut) {
                return;
            }
        }
    }

    net::TcpListener m_listener;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST_F(DovecotLogin, CramMd5AndApopLogInWithTheRightPasswordAndShowTheServersWordsWithAWrongOne) {
    Dovecot().Seed(2);
    for (const bool apop : {false, true}) {
        for (const std::string password : {"secret", "wrong"}) {
            SCOPED_TRACE((apop ? "APOP " : "CRAM-MD5 ") + password);
            std::unique_ptr<NoCramRelay> relay;
            if (apop) {
                relay = std::make_unique<NoCramRelay>();
            }
            CPop pop;
            pop.SetTimeout(5000);
            pop.SetLoginMethod(pop3::LoginMethod::Encrypted);
            const unsigned short port =
                apop ? static_cast<unsigned short>(std::stoi(relay->Server().substr(10)))
                     : Dovecot().Port();
            const bool in = pop.Connect("127.0.0.1", port, "test", password);
            EXPECT_EQ(pop.GetLoginUsed(), apop ? "APOP" : "AUTH CRAM-MD5");
            EXPECT_EQ(in, password == "secret") << pop.GetErrorText();
            if (in) {
                ASSERT_TRUE(pop.Stat()) << pop.GetErrorText();
                EXPECT_EQ(pop.GetMessageCount(), 2);
                EXPECT_TRUE(pop.Quit()) << pop.GetErrorText();
            } else {
                EXPECT_EQ(pop.GetErrorText(), "Bad Password Name");
                EXPECT_EQ(pop.GetRefusal().code, pop3::ResponseCode::Auth);
                EXPECT_EQ(pop.GetRefusal().text, "Authentication failed.");
            }
        }
    }
}

TEST_F(DovecotLogin, AWrongPasswordShowsTheServersAuthWordsAndABusyMailboxIsInUse) {
    Dovecot().Seed(1);
    Account wrong;
    wrong.Set("test", "wrong", Dovecot().Server(), 8, 1);
    Messages* list = nullptr;
    wrong.CheckMail(list);
    EXPECT_EQ(wrong.GetFailureReason(), "auth");
    EXPECT_EQ(wrong.GetErrorTextWithServerWords(),
              "Bad Password Name\nThe server said: Authentication failed.");

    // One session holds the mailbox; Dovecot waits for its lock a while, then refuses.
    CPop holder;
    ASSERT_TRUE(holder.Connect("127.0.0.1", Dovecot().Port(), "test", "secret"))
        << holder.GetErrorText();
    EXPECT_EQ(holder.GetLoginUsed(), "USER");
    Account busy;
    busy.Set("test", "secret", Dovecot().Server(), 8, 1);
    busy.CheckMail(list);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(busy.GetStatus(), Account::CheckFailed);
    EXPECT_EQ(busy.GetFault().kind, pop3::FaultKind::Passing);
    EXPECT_EQ(busy.GetFailureReason(), "in-use");
    EXPECT_EQ(busy.GetErrorTextWithServerWords(),
              "Bad Password Name\nThe server said: Mailbox is locked by another POP3 session.");
    EXPECT_TRUE(holder.Quit());
}

} // namespace
