#include "replay.h"

#include <algorithm>

#include "net/socket_api.h"

namespace {

struct Peer {
    std::string_view bytes;
    std::size_t piece = 1;
    bool silentAtEnd = false;
    bool wentSilent = false;
    std::chrono::steady_clock::time_point now =
        std::chrono::steady_clock::time_point() + std::chrono::hours(1);
    std::string sent;
};

Peer& ThePeer() {
    static Peer peer;
    return peer;
}

constexpr net::detail::Handle kConnection = 3;

} // namespace

namespace replay {

void Serve(std::string_view peerBytes, std::size_t pieceSize, bool silentAtEnd) {
    Peer& peer = ThePeer();
    peer.bytes = peerBytes;
    peer.piece = pieceSize > 0 ? pieceSize : 1;
    peer.silentAtEnd = silentAtEnd;
    peer.wentSilent = false;
    peer.sent.clear();
}

std::chrono::steady_clock::time_point Now() {
    return ThePeer().now;
}

bool WentSilent() {
    return ThePeer().wentSilent;
}

const std::string& Sent() {
    return ThePeer().sent;
}

} // namespace replay

namespace net::detail {

bool Startup() {
    return true;
}

void CloseHandle(Handle) {}

void Shutdown(Handle) {}

bool Resolve(const std::string&, unsigned short, bool, std::vector<Address>& found) {
    found.push_back({0, 0, 0, {}});
    return true;
}

Handle StartConnect(const Address&) {
    return kConnection;
}

int WaitConnects(const Handle*, std::size_t, int, bool& connected) {
    connected = true;
    return 0;
}

bool FinishConnect(Handle) {
    return true;
}

long SendWithin(Handle, const char* data, std::size_t length, int) {
    ThePeer().sent.append(data, length);
    return static_cast<long>(length);
}

long ReceiveWithin(Handle, char* buffer, std::size_t capacity, int timeoutMs, int&) {
    Peer& peer = ThePeer();
    if (peer.bytes.empty() && peer.silentAtEnd) {
        peer.wentSilent = true;
        peer.now += std::chrono::milliseconds(timeoutMs);
        return kTimedOut;
    }
    const std::size_t count = std::min({capacity, peer.piece, peer.bytes.size()});
    peer.bytes.copy(buffer, count);
    peer.bytes.remove_prefix(count);
    return static_cast<long>(count);
}

bool SetNoDelay(Handle, bool) {
    return true;
}

Handle ListenLoopback(unsigned short, unsigned short&) {
    return kNoHandle;
}

Handle AcceptWithin(Handle, int) {
    return kNoHandle;
}

} // namespace net::detail
