#include "scripted_http_server.h"

#include <chrono>
#include <utility>

namespace testsupport {

namespace {

constexpr int kSliceMs = 20;
constexpr int kConnectionLimitMs = 15000;

} // namespace

ScriptedHttpServer::ScriptedHttpServer(std::string reply, bool silent)
    : m_reply(std::move(reply)), m_silent(silent) {
    m_listener.Listen(0);
    m_thread = std::thread([this] { Run(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
    m_stop = true;
    m_thread.join();
}

std::string ScriptedHttpServer::Address() const {
    return "127.0.0.1:" + std::to_string(m_listener.Port());
}

bool ScriptedHttpServer::WaitForClosedConnections(int count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return static_cast<int>(m_requests.size()) >= count; });
}

std::vector<std::string> ScriptedHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void ScriptedHttpServer::Run() {
    while (!m_stop) {
        net::TcpSocket connection;
        if (m_listener.Accept(connection, kSliceMs))
            Serve(connection);
    }
}

void ScriptedHttpServer::Serve(net::TcpSocket& connection) {
    std::string received;
    bool replied = false;
    char buffer[512];
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectionLimitMs);
    while (!m_stop && std::chrono::steady_clock::now() < deadline) {
        if (!replied && received.find('\n') != std::string::npos) {
            replied = true;
            if (!m_silent)
                connection.SendAll(m_reply.data(), m_reply.size(), kConnectionLimitMs);
        }
        const net::RecvResult got = connection.Receive(buffer, sizeof(buffer), kSliceMs);
        if (got.status == net::RecvStatus::Data)
            received.append(buffer, got.bytes);
        else if (got.status != net::RecvStatus::TimedOut)
            break; // the client hung up
    }
    connection.Close();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(received);
    m_changed.notify_all();
}

} // namespace testsupport
