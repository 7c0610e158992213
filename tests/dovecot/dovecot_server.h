#pragma once

#include <string>
#include <vector>

// A real Dovecot POP3 server on 127.0.0.1, started and seeded through tools/dovecot.sh in
// a private temporary folder. User "test", password "secret".
class DovecotServer {
public:
    DovecotServer() = default;
    ~DovecotServer(); // stops the server and removes its folder
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // False with a reason in Error() when the server does not come up.
    bool Start();
    void Stop();

    // Replaces the mailbox with count generated messages; sizes[i], when given, is the
    // exact size of message i + 1 in octets.
    bool Seed(int count, const std::vector<int>& sizes = {});

    unsigned short Port() const { return m_port; }
    std::string Server() const { return "127.0.0.1:" + std::to_string(m_port); }
    const std::string& Folder() const { return m_folder; }
    const std::string& Error() const { return m_error; }

private:
    bool RunScript(const std::vector<std::string>& args, std::string& out);

    std::string m_folder;
    unsigned short m_port = 0;
    bool m_running = false;
    std::string m_error;
};

// One message as it lies in the mailbox, read back from the seeded files.
struct SeededMessage {
    std::string text;

    // Octets as POP3 counts them: every line end is CR LF.
    int Octets() const;
    int Kilobytes() const { return (Octets() + 1023) / 1024; }
    // The value of the first header line of that name, after its colon and blank.
    std::string Header(const std::string& name) const;
    // What TOP with that many body lines delivers after the empty line, closing "." included.
    std::string TopBody(int lines) const;
};

// The messages of the seeded mailbox in server order.
std::vector<SeededMessage> ReadSeeded(const DovecotServer& server);
