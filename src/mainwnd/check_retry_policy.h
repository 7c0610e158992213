#pragma once

#include <cstdint>

// Whether a failed check is reported at once or tried again first. A passing network fault
// (no connection, a time limit, the connection lost) gets one more try after RetryDelayMs; a
// refusal by the server, or a second fault in a row, is reported at once. After the machine
// wakes, the network often comes back only some seconds later (Wi-Fi joining, a VPN): for a
// grace time every such fault is tried again instead of switching checking off with a box.
// Times are milliseconds of a monotonic clock.
class CheckRetryPolicy {
public:
    void Resumed(std::uint64_t now) {
        m_resumed = true;
        m_resumedAt = now;
    }

    // After a failed check: true when it is to be tried again after RetryDelayMs() instead
    // of being reported now.
    bool ShouldRetry(bool failedInTransit, std::uint64_t now) {
        if (failedInTransit && m_resumed && now - m_resumedAt < m_graceMs) {
            ++m_retriesInGrace;
            return true;
        }
        const bool retry = failedInTransit && !m_retried;
        m_retried = retry;
        return retry;
    }
    // After a successful check: the next fault gets its retry again.
    void Reset() { m_retried = false; }

    unsigned RetryDelayMs() const { return m_retryDelayMs; }
    // The first check after the machine wakes waits this long for the network.
    unsigned ResumeCheckDelayMs() const { return m_resumeCheckDelayMs; }
    // Faults retried within grace times so far.
    int RetriesInGrace() const { return m_retriesInGrace; }

    // Tests shorten the waits.
    void SetDelays(unsigned retryMs, unsigned resumeCheckMs, unsigned graceMs) {
        m_retryDelayMs = retryMs;
        m_resumeCheckDelayMs = resumeCheckMs;
        m_graceMs = graceMs;
    }

private:
    bool m_retried = false;
    bool m_resumed = false;
    std::uint64_t m_resumedAt = 0;
    int m_retriesInGrace = 0;
    unsigned m_retryDelayMs = 30000;
    unsigned m_resumeCheckDelayMs = 10000;
    unsigned m_graceMs = 120000;
};
