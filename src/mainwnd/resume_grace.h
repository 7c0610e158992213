#pragma once

#include <cstdint>
#include <string>

// After the machine wakes, the network often comes back only some seconds later (Wi-Fi
// joining, a VPN). A check soon after resume that cannot even connect is therefore retried
// instead of switching checking off with an error box; once the grace time is over, a
// failure is reported as always. Times are milliseconds of a monotonic clock.
class ResumeGrace {
public:
    // The first check after resume waits this long for the network.
    std::uint32_t m_FirstCheckDelayMs = 10000;
    // Within this time after resume a failure to connect is not reported...
    std::uint32_t m_GraceMs = 120000;
    // ...but retried after this long.
    std::uint32_t m_RetryDelayMs = 30000;

    void Resumed(std::uint64_t now);
    // True when this failure (the check's failure text) is to be retried, not reported.
    bool DefersFailure(const std::string& failure, std::uint64_t now);
    // Failures retried since the last resume.
    int Deferred() const { return m_deferred; }

private:
    int m_deferred = 0;
    bool m_resumed = false;
    std::uint64_t m_resumedAt = 0;
};
