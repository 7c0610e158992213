#pragma once

// Whether a failed check is reported at once or tried again first. A passing network fault
// (no connection, a time limit, the connection lost) gets one more try after RetryDelayMs;
// a refusal by the server, or a second fault in a row, is reported at once.
class CheckRetryPolicy {
public:
    static constexpr unsigned kRetryDelayMs = 30000;

    // After a failed check: true when it is to be tried again after RetryDelayMs() instead
    // of being reported now.
    bool ShouldRetry(bool failedInTransit) {
        const bool retry = failedInTransit && !m_retried;
        m_retried = retry;
        return retry;
    }
    // After a successful check: the next fault gets its retry again.
    void Reset() { m_retried = false; }

    unsigned RetryDelayMs() const { return m_delayMs; }
    // Tests shorten the wait.
    void SetRetryDelayMs(unsigned ms) { m_delayMs = ms; }

private:
    bool m_retried = false;
    unsigned m_delayMs = kRetryDelayMs;
};
