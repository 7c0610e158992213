#include "framework/gdi.h"

#include "framework/wnd.h"

CIcon& CIcon::operator=(CIcon&& other) noexcept {
    if (this != &other) {
        const bool shared = other.m_shared;
        Reset(std::exchange(other.m_icon, nullptr), shared);
    }
    return *this;
}

bool CIcon::Load(UINT id, int cx, int cy) {
    const UINT flags = (cx == 0 && cy == 0) ? LR_DEFAULTSIZE : 0;
    Reset(static_cast<HICON>(
        ::LoadImageA(CWnd::Instance(), MAKEINTRESOURCEA(id), IMAGE_ICON, cx, cy, flags)));
    return m_icon != nullptr;
}

void CIcon::Reset(HICON icon, bool shared) {
    if (m_icon != nullptr && !m_shared && m_icon != icon)
        ::DestroyIcon(m_icon);
    m_icon = icon;
    m_shared = shared;
}
