#pragma once

#include <windows.h>

#include <string>
#include <utility>

// An open registry key, closed with the object. Move-only.
class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(CRegKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    CRegKey& operator=(CRegKey&& other) noexcept;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    bool Open(HKEY parent, const std::string& subKey, REGSAM access = KEY_READ);
    void Close();
    // A REG_SZ or REG_EXPAND_SZ value (unexpanded); empty `name` reads the key's default.
    bool QueryString(const std::string& name, std::string* value) const;

    HKEY Get() const { return m_key; }
    operator HKEY() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// A window timer that is killed when the guard goes. Move-only.
class CTimer {
public:
    CTimer() = default;
    ~CTimer() { Kill(); }
    CTimer(CTimer&& other) noexcept
        : m_window(std::exchange(other.m_window, nullptr)), m_id(std::exchange(other.m_id, 0)) {}
    CTimer& operator=(CTimer&& other) noexcept;
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    // (Re)arms timer `id` of `window`; a running timer of the same id starts a fresh period.
    bool Set(HWND window, UINT_PTR id, UINT elapseMs);
    void Kill();
    bool IsSet() const { return m_window != nullptr; }

private:
    HWND m_window = nullptr;
    UINT_PTR m_id = 0;
};
