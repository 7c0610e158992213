#include "framework/handles.h"

#include <vector>

CRegKey& CRegKey::operator=(CRegKey&& other) noexcept {
    if (this != &other) {
        Close();
        m_key = std::exchange(other.m_key, nullptr);
    }
    return *this;
}

bool CRegKey::Open(HKEY parent, const std::string& subKey, REGSAM access) {
    Close();
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, subKey.c_str(), 0, access, &key) != ERROR_SUCCESS)
        return false;
    m_key = key;
    return true;
}

void CRegKey::Close() {
    if (m_key != nullptr)
        ::RegCloseKey(m_key);
    m_key = nullptr;
}

bool CRegKey::QueryString(const std::string& name, std::string* value) const {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(m_key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    // The stored text need not end in a NUL; one more byte makes room for it.
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    if (::RegQueryValueExA(m_key, name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return false;
    *value = std::string(buffer.data());
    return true;
}

CTimer& CTimer::operator=(CTimer&& other) noexcept {
    if (this != &other) {
        Kill();
        m_window = std::exchange(other.m_window, nullptr);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

bool CTimer::Set(HWND window, UINT_PTR id, UINT elapseMs) {
    if (m_window != nullptr && (m_window != window || m_id != id))
        Kill();
    if (::SetTimer(window, id, elapseMs, nullptr) == 0)
        return false;
    m_window = window;
    m_id = id;
    return true;
}

void CTimer::Kill() {
    if (m_window != nullptr)
        ::KillTimer(m_window, m_id);
    m_window = nullptr;
    m_id = 0;
}
