#pragma once

// An in-process web server for the update check, on 127.0.0.1 at a free port, on its own
// thread. Every connection gets the same treatment: the server reads until the first LF,
// sends the canned reply (or nothing, when silent) and keeps reading until the client hangs
// up, so Requests() shows every byte the client sent, also any after its request line.
// Every wait has a time limit; the destructor ends everything.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/tcp_listener.h"

namespace testsupport {

class ScriptedHttpServer {
public:
    explicit ScriptedHttpServer(std::string reply, bool silent = false);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    std::string Address() const; // "127.0.0.1:<port>"
    // Waits until `count` connections have ended; false when they have not within the limit.
    bool WaitForClosedConnections(int count, int timeoutMs);
    std::vector<std::string> Requests() const; // one entry per ended connection

private:
    void Run();
    void Serve(net::TcpSocket& connection);

    const std::string m_reply;
    const bool m_silent;
    net::TcpListener m_listener;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

} // namespace testsupport
