#include "net/connect_race.h"

#include <algorithm>

namespace net::detail {

namespace {

using Clock = std::chrono::steady_clock;
// Waits are cut into slices so that a cancel is seen while the servers keep us waiting.
constexpr auto kSlice = std::chrono::milliseconds(100);
// Winsock's select() takes at most 64 sockets; far fewer are ever in flight.
constexpr std::size_t kMostInFlight = 16;

} // namespace

std::vector<Address> InterleaveFamilies(const std::vector<Address>& addresses) {
    if (addresses.empty()) {
        return {};
    }
    const int first = addresses.front().family;
    std::vector<const Address*> preferred;
    std::vector<const Address*> other;
    for (const Address& address : addresses) {
        (address.family == first ? preferred : other).push_back(&address);
    }
    std::vector<Address> ordered;
    ordered.reserve(addresses.size());
    for (std::size_t i = 0; i < std::max(preferred.size(), other.size()); ++i) {
        if (i < preferred.size()) {
            ordered.push_back(*preferred[i]);
        }
        if (i < other.size()) {
            ordered.push_back(*other[i]);
        }
    }
    return ordered;
}

Handle ConnectFirst(const std::vector<Address>& addresses, Clock::time_point deadline,
                    const std::atomic<bool>& stop) {
    std::vector<Handle> pending;
    const auto closeAll = [&pending] {
        for (const Handle handle : pending) {
            CloseHandle(handle);
        }
        pending.clear();
    };
    std::size_t next = 0;
    auto nextStart = Clock::now();
    for (;;) {
        const auto now = Clock::now();
        if (stop || now >= deadline) {
            closeAll();
            return kNoHandle;
        }
        const bool more = next < addresses.size();
        if (more && pending.size() < kMostInFlight && (now >= nextStart || pending.empty())) {
            const Handle started = StartConnect(addresses[next++]);
            if (started != kNoHandle) {
                pending.push_back(started);
                nextStart = now + std::chrono::milliseconds(kAttemptDelayMs);
            }
            continue; // one that failed at once hands over to the next at once
        }
        if (pending.empty()) {
            return kNoHandle; // every address failed
        }
        auto until = std::min(deadline, now + kSlice);
        if (more) {
            until = std::min(until, nextStart);
        }
        const auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
        bool connected = false;
        const int done =
            WaitConnects(pending.data(), pending.size(),
                         static_cast<int>(std::max<long long>(waitMs.count(), 1)), connected);
        if (done < 0) {
            continue;
        }
        const Handle handle = pending[static_cast<std::size_t>(done)];
        pending.erase(pending.begin() + done);
        if (connected && FinishConnect(handle)) {
            closeAll();
            return handle;
        }
        CloseHandle(handle);
        nextStart = Clock::now();
    }
}

} // namespace net::detail
