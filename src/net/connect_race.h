#pragma once

// Connecting to a server with several addresses (RFC 8305, "Happy Eyeballs"): an address
// that drops packets must not cost the whole time limit. Internal to src/net.

#include <atomic>
#include <chrono>
#include <vector>

#include "net/socket_api.h"

namespace net::detail {

// The resolver's order, the families taking turns: its first address, then the first of
// the other family, and so on, so that a dead IPv6 route does not hold up every IPv4 try.
std::vector<Address> InterleaveFamilies(const std::vector<Address>& addresses);

// How long an attempt has alone before the next address is tried beside it.
constexpr int kAttemptDelayMs = 250;

// Tries the addresses in order, starting the next one kAttemptDelayMs after the last while
// earlier ones still wait, or at once when one fails; the first to connect wins and the
// others are closed. A blocking connected socket, or kNoHandle at the deadline, when stop
// turns true, or when every address failed.
Handle ConnectFirst(const std::vector<Address>& addresses,
                    std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& stop);

} // namespace net::detail
