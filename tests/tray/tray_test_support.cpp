#include "tray_test_support.h"

#include "resource.h"

#include <algorithm>
#include <cstring>

static TrayTest* g_test = nullptr;

OwnerWindow::OwnerWindow() {
    CreateEx(0, nullptr, "Tray test owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr);
}

LRESULT OwnerWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TRAY_NOTIFY) {
        callbacks.push_back(lParam);
        EXPECT_EQ(wParam, static_cast<WPARAM>(IDR_TRAY_MENU));
        if (forwardTo != nullptr && lParam != WM_MOUSEMOVE) {
            EXPECT_EQ(forwardTo->HandleNotification(wParam, lParam), 1);
        }
        return 0;
    }
    if (msg == WM_COMMAND) {
        commands.push_back(wParam);
        EXPECT_EQ(lParam, 0);
        return 0;
    }
    return CWnd::OnMessage(msg, wParam, lParam);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}

std::vector<HWND> TrayIconWindows() {
    std::vector<HWND> icons;
    HWND tray = ::FindWindowA(nullptr, "Wine System Tray");
    HWND child = tray != nullptr && ::IsWindowVisible(tray) ? ::GetWindow(tray, GW_CHILD) : nullptr;
    for (; child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::IsWindowVisible(child))
            icons.push_back(child);
    }
    return icons;
}

void TrayTest::SetUp() {
    g_test = this;
    CTrayNotifyIcon::s_ShellNotify = &TrayTest::Record;
    ASSERT_NE(m_owner.GetSafeHwnd(), nullptr);
    // A different resource for each picture, so every step is told apart by its handle.
    const UINT ids[] = {IDI_SPIN_0, IDI_SPIN_90, IDI_SPIN_180, IDI_SPIN_270,
                        IDI_NOMAIL, IDI_MAIL,    IDI_DISABLED};
    HICON* const slots[] = {&m_spin[0], &m_spin[1], &m_spin[2], &m_spin[3],
                            &m_noMail,  &m_mail,    &m_disabled};
    for (int i = 0; i < 7; ++i) {
        *slots[i] = ::LoadIconA(CWnd::Instance(), MAKEINTRESOURCEA(ids[i]));
        ASSERT_NE(*slots[i], nullptr);
    }
}

void TrayTest::TearDown() {
    CTrayNotifyIcon::s_ShellNotify = &::Shell_NotifyIconA;
}

BOOL WINAPI TrayTest::Record(DWORD message, PNOTIFYICONDATAA data) {
    ShellCall call = {
        message, {}, FALSE, WindowExists(kAnimationTitle), WindowExists(kResurrectionTitle)};
    // Only the announced size belongs to the record.
    std::memcpy(&call.data, data, std::min<size_t>(data->cbSize, sizeof(call.data)));
    if (g_test->m_failNext == message)
        g_test->m_failNext = ~0u;
    else
        call.result = ::Shell_NotifyIconA(message, data);
    g_test->m_calls.push_back(call);
    return call.result;
}

std::vector<HICON> TrayTest::PicturesFrom(size_t start) const {
    std::vector<HICON> pictures;
    for (size_t i = start; i < m_calls.size(); ++i) {
        if (m_calls[i].message == NIM_MODIFY && m_calls[i].data.uFlags == NIF_ICON)
            pictures.push_back(m_calls[i].data.hIcon);
    }
    return pictures;
}
