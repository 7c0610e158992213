#include "tray_test_support.h"

#include "resource.h"

#include <algorithm>
#include <memory>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using ScopedHandle = std::unique_ptr<void, HandleCloser>;

LONG LeftOf(HWND hwnd) {
    RECT rect = {};
    ::GetWindowRect(hwnd, &rect);
    return rect.left;
}

ShellRecorder* g_recorder = nullptr;

BOOL CALLBACK CountByTitle(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<std::pair<const char*, int>*>(param);
    if (CWnd::GetWindowTextOf(hwnd) == search->first)
        ++search->second;
    return TRUE;
}

} // namespace

ShellRecorder::ShellRecorder() : m_previous(CTrayNotifyIcon::s_ShellNotify) {
    g_recorder = this;
    CTrayNotifyIcon::s_ShellNotify = &ShellRecorder::Record;
}

ShellRecorder::~ShellRecorder() {
    CTrayNotifyIcon::s_ShellNotify = m_previous;
    g_recorder = nullptr;
}

BOOL WINAPI ShellRecorder::Record(DWORD message, PNOTIFYICONDATAA data) {
    ShellRecorder* self = g_recorder;
    ShellCall call{message,
                   data->cbSize,
                   data->hWnd,
                   data->uID,
                   data->uFlags,
                   data->uCallbackMessage,
                   data->hIcon,
                   std::string(data->szTip, strnlen(data->szTip, sizeof(data->szTip))),
                   FALSE,
                   WindowExists(kAnimationTitle),
                   WindowExists(kResurrectionTitle)};
    if (self->m_failNext == message) {
        self->m_failNext = ~0u;
    } else {
        call.result = self->m_previous(message, data);
    }
    self->m_calls.push_back(call);
    return call.result;
}

OwnerWindow::OwnerWindow() {
    CreateEx(0, nullptr, "Tray test owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr);
}

LRESULT OwnerWindow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TRAY_NOTIFY) {
        m_callbacks.emplace_back(wParam, lParam);
        if (m_forwardTo != nullptr && lParam != WM_MOUSEMOVE)
            m_handled.push_back(m_forwardTo->HandleNotification(wParam, lParam));
        return 0;
    }
    if (msg == WM_COMMAND) {
        m_commands.emplace_back(wParam, lParam);
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

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool WindowExists(const char* title) {
    return ::FindWindowA(nullptr, title) != nullptr;
}

int CountTopLevelWindows(const char* title) {
    std::pair<const char*, int> search(title, 0);
    ::EnumWindows(&CountByTitle, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

void BroadcastTaskbarCreated() {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                          SMTO_ABORTIFHUNG, 2000, &ignored);
}

std::vector<HWND> TrayIconWindows() {
    std::vector<HWND> icons;
    HWND tray = ::FindWindowA(nullptr, "Wine System Tray");
    if (tray == nullptr || !::IsWindowVisible(tray))
        return icons;
    for (HWND child = ::GetWindow(tray, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::IsWindowVisible(child))
            icons.push_back(child);
    }
    // The tray appends each new icon on the right.
    std::sort(icons.begin(), icons.end(), [](HWND a, HWND b) { return LeftOf(a) < LeftOf(b); });
    return icons;
}

bool LaunchXdotool(const std::string& arguments) {
    // Wine starts a Unix program when given its Unix path, but hands back no process to
    // wait for: the caller waits for the clicks' effects instead.
    std::string command = "/usr/bin/xdotool " + arguments;
    STARTUPINFOA startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    ScopedHandle thread(process.hThread);
    ScopedHandle child(process.hProcess);
    return true;
}

TrayTest::TrayTest() {
    // Each animation picture a different resource, so every step is told apart by handle.
    const UINT spinIds[] = {IDI_SPIN_0, IDI_SPIN_90, IDI_SPIN_180, IDI_SPIN_270};
    for (int i = 0; i < 4; ++i) {
        m_spin[i].Load(spinIds[i], 16, 16);
        m_spinHandles[i] = m_spin[i];
    }
    m_noMail.Load(IDI_NOMAIL, 16, 16);
    m_mail.Load(IDI_MAIL, 16, 16);
    m_disabled.Load(IDI_DISABLED, 16, 16);
}

void TrayTest::SetUp() {
    ASSERT_NE(m_owner.GetSafeHwnd(), nullptr);
    for (HICON icon : m_spinHandles)
        ASSERT_NE(icon, nullptr);
    ASSERT_NE(m_noMail.Get(), nullptr);
    ASSERT_NE(m_mail.Get(), nullptr);
    ASSERT_NE(m_disabled.Get(), nullptr);
}
