#pragma once

#include <windows.h>

#include <utility>

// Owners of GDI and USER drawing handles. All are move-only: a copy would free twice.

// An icon. One loaded with LR_SHARED belongs to the system and is never destroyed.
class CIcon {
public:
    CIcon() = default;
    explicit CIcon(HICON icon, bool shared = false) : m_icon(icon), m_shared(shared) {}
    ~CIcon() { Reset(); }
    CIcon(CIcon&& other) noexcept
        : m_icon(std::exchange(other.m_icon, nullptr)), m_shared(other.m_shared) {}
    CIcon& operator=(CIcon&& other) noexcept;
    CIcon(const CIcon&) = delete;
    CIcon& operator=(const CIcon&) = delete;

    // Icon resource `id` of the program at the given size (0, 0: the system's large size).
    bool Load(UINT id, int cx = 0, int cy = 0);
    void Reset(HICON icon = nullptr, bool shared = false);

    HICON Get() const { return m_icon; }
    operator HICON() const { return m_icon; }

private:
    HICON m_icon = nullptr;
    bool m_shared = false;
};

// A font, brush, bitmap, pen or palette, deleted with DeleteObject.
template <class Handle> class CGdiObject {
public:
    CGdiObject() = default;
    explicit CGdiObject(Handle handle) : m_handle(handle) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(CGdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    void Reset(Handle handle = nullptr) {
        if (m_handle != nullptr && m_handle != handle)
            ::DeleteObject(m_handle);
        m_handle = handle;
    }
    Handle Get() const { return m_handle; }
    operator Handle() const { return m_handle; }

private:
    Handle m_handle = nullptr;
};

using CFont = CGdiObject<HFONT>;
using CBrush = CGdiObject<HBRUSH>;
using CBitmap = CGdiObject<HBITMAP>;
using CPen = CGdiObject<HPEN>;
using CPalette = CGdiObject<HPALETTE>;

// The device context of one WM_PAINT: BeginPaint now, EndPaint at the end of the scope.
class CPaintDC {
public:
    explicit CPaintDC(HWND window) : m_window(window) { m_dc = ::BeginPaint(window, &m_paint); }
    ~CPaintDC() { ::EndPaint(m_window, &m_paint); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    operator HDC() const { return m_dc; }
    const PAINTSTRUCT& Paint() const { return m_paint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc = nullptr;
};

// A window's client-area device context outside WM_PAINT (GetDC / ReleaseDC).
class CClientDC {
public:
    explicit CClientDC(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
    ~CClientDC() {
        if (m_dc != nullptr)
            ::ReleaseDC(m_window, m_dc);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;

    operator HDC() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// An off-screen device context compatible with `dc` (DeleteDC at the end).
class CMemoryDC {
public:
    explicit CMemoryDC(HDC dc) : m_dc(::CreateCompatibleDC(dc)) {}
    ~CMemoryDC() {
        if (m_dc != nullptr)
            ::DeleteDC(m_dc);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    operator HDC() const { return m_dc; }

private:
    HDC m_dc;
};

// Selects an object into a DC for one scope and puts the previous one back, so that the
// object is no longer selected when its owner deletes it.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
    ~CSelectObject() {
        if (m_previous != nullptr && m_previous != HGDI_ERROR)
            ::SelectObject(m_dc, m_previous);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
