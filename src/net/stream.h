#pragma once

#include <cstddef>

namespace net {

// Outcome of one receive.
enum class RecvStatus { Data, Closed, TimedOut, Error };

struct RecvResult {
    RecvStatus status;
    std::size_t bytes; // valid when status == Data
};

// A connected byte stream to a server: plain TCP, or TLS over TCP. The POP3 session talks
// through this so that a secure channel can take the place of the socket after connect.
class Stream {
public:
    Stream() = default;
    virtual ~Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Sends every byte within timeoutMs or fails.
    virtual bool SendAll(const char* data, std::size_t length, int timeoutMs) = 0;
    // Waits at most timeoutMs for at least one byte.
    virtual RecvResult Receive(char* buffer, std::size_t capacity, int timeoutMs) = 0;
    virtual void Close() = 0;
};

} // namespace net
