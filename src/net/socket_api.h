#pragma once

// The few system calls the socket classes need, one implementation per platform
// (socket_api_posix.cpp, socket_api_win.cpp; the name lookup, the same on both, in
// socket_api.cpp). Internal to src/net.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace net::detail {

using Handle = std::intptr_t;
constexpr Handle kNoHandle = -1;

bool Startup();
void CloseHandle(Handle handle);
// Ends both directions of a connection; a receive or send waiting on it returns at once.
void Shutdown(Handle handle);

// One address of a server, owned, so that a lookup on another thread can hand it over.
struct Address {
    int family;
    int type;
    int protocol;
    std::vector<unsigned char> bytes; // the sockaddr
};

// The system's name lookup, which has no time limit of its own. numericOnly answers at
// once, and only for a host that is an address.
bool Resolve(const std::string& host, unsigned short port, bool numericOnly,
             std::vector<Address>& found);

// A socket whose connect to address has begun without waiting; kNoHandle when it failed at
// once (a refused loopback port may fail here or later).
Handle StartConnect(const Address& address);

// Waits at most timeoutMs until one of the count pending connects ends. Its index, with
// connected telling whether it succeeded; -1 when none ended in time or the wait failed.
int WaitConnects(const Handle* pending, std::size_t count, int timeoutMs, bool& connected);

// Makes a connected socket blocking again for the receives and sends with time limits.
bool FinishConnect(Handle handle);

constexpr long kTimedOut = -2;

// Sends what fits once the socket takes data within timeoutMs: bytes sent, 0 when it did
// not take any in time, -1 on failure.
long SendWithin(Handle handle, const char* data, std::size_t length, int timeoutMs);

// Bytes read, 0 at the end of the connection, kTimedOut when nothing came within timeoutMs,
// -1 on failure. armedMs is the socket's state for the implementation: the time limit last
// set on it (-1 before the first receive).
long ReceiveWithin(Handle handle, char* buffer, std::size_t capacity, int timeoutMs, int& armedMs);

bool SetNoDelay(Handle handle, bool on);

// Listens on 127.0.0.1; port 0 picks a free one. Reports the bound port.
Handle ListenLoopback(unsigned short port, unsigned short& boundPort);

// One connection within timeoutMs, or kNoHandle.
Handle AcceptWithin(Handle listener, int timeoutMs);

} // namespace net::detail
