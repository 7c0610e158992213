#include "net/cancel_signal.h"

#include <algorithm>

#include "net/socket_api.h"

namespace net {

void CancelSignal::Cancel() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    // Shut down, not closed: the owner still closes its handle, and a closed number could
    // already belong to someone else.
    for (const std::intptr_t handle : m_handles) {
        detail::Shutdown(handle);
    }
}

bool CancelSignal::Register(std::intptr_t handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled) {
        return false;
    }
    m_handles.push_back(handle);
    return true;
}

void CancelSignal::Unregister(std::intptr_t handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handles.erase(std::remove(m_handles.begin(), m_handles.end(), handle), m_handles.end());
}

} // namespace net
