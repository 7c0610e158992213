#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace net {

// Stops the blocking work of another thread at once: Cancel(), from any thread, shuts
// down every socket registered here, so that a waiting receive or send returns, and makes
// every later connect, send and receive of those sockets fail. Shared by the thread that
// owns the sockets and the one that may cancel them.
class CancelSignal {
public:
    CancelSignal() = default;
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;

    void Cancel();
    bool IsCancelled() const { return m_cancelled.load(); }
    const std::atomic<bool>& Flag() const { return m_cancelled; }

    // False, with nothing registered, once cancelled: the socket must not be used.
    bool Register(std::intptr_t handle);
    void Unregister(std::intptr_t handle);

private:
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    std::vector<std::intptr_t> m_handles;
};

} // namespace net
