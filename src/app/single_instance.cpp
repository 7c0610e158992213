#include "app/single_instance.h"

#include "framework/wnd.h"
#include "res/resource.h"

namespace {

// "Local\": one Tarnwick per logon session, as there is one notification area per session.
constexpr wchar_t kMutexName[] = L"Local\\Tarnwick.Instance";

} // namespace

CSingleInstance::~CSingleInstance() {
    if (m_window != nullptr)
        ::DestroyWindow(m_window);
    if (m_mutex != nullptr)
        ::CloseHandle(m_mutex);
}

bool CSingleInstance::Claim() {
    if (m_mutex != nullptr)
        return true;
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kMutexName);
    const DWORD error = ::GetLastError();
    if (mutex == nullptr)
        // Without the mutex nothing can be told; running is better than refusing to start.
        return error != ERROR_ACCESS_DENIED;
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    m_mutex = mutex;
    return true;
}

UINT CSingleInstance::ShowMainWindowMessage() {
    static const UINT message = ::RegisterWindowMessageA("Tarnwick.ShowMainWindow");
    return message;
}

bool CSingleInstance::CreateInstanceWindow(CWnd* mainWindow) {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {sizeof(wc)};
    if (!::GetClassInfoExA(instance, kInstanceWindowClass, &wc)) {
        wc = {sizeof(wc)};
        wc.lpfnWndProc = &CSingleInstance::WindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = kInstanceWindowClass;
        if (::RegisterClassExA(&wc) == 0)
            return false;
    }
    m_mainWindow = mainWindow;
    // A hidden top-level window, not a message-only one: FindWindow, which the setup program
    // has, finds only top-level windows.
    m_window = ::CreateWindowExA(WS_EX_TOOLWINDOW, kInstanceWindowClass, "Tarnwick", WS_POPUP, 0, 0,
                                 0, 0, nullptr, nullptr, instance, this);
    return m_window != nullptr;
}

LRESULT CALLBACK CSingleInstance::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CSingleInstance*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY)
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    // Posted, not sent: the sender (the setup program, a second start) must not wait on
    // whatever the main window is doing, and the main window may be inside a modal loop.
    if (msg == WM_CLOSE || msg == ShowMainWindowMessage()) {
        HWND target =
            self != nullptr && self->m_mainWindow != nullptr ? self->m_mainWindow->m_hWnd : nullptr;
        if (target == nullptr)
            return 0;
        if (msg == WM_CLOSE)
            ::PostMessageA(target, WM_CLOSE, 0, 0);
        else
            ::PostMessageA(target, WM_COMMAND, ID_TRAY_OPEN, 0);
        return 1;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool CSingleInstance::ActivateRunning(DWORD waitMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        HWND running = ::FindWindowA(kInstanceWindowClass, nullptr);
        if (running != nullptr) {
            DWORD process = 0;
            ::GetWindowThreadProcessId(running, &process);
            // This start is what the user just did, so it may hand the foreground on.
            ::AllowSetForegroundWindow(process);
            DWORD_PTR result = 0;
            return ::SendMessageTimeoutA(running, ShowMainWindowMessage(), 0, 0, SMTO_ABORTIFHUNG,
                                         5000, &result) != 0 &&
                   result == 1;
        }
        if (::GetTickCount() - start >= waitMs)
            return false;
        ::Sleep(100);
    }
}
