#include "framework/wnd.h"

#include "framework/reflect.h"
#include "mime/utf16_win.h"

#include <commctrl.h>

#include <vector>

namespace {

// Lets FromHandle find the object whichever way the window came to us.
const char kObjectProp[] = "Tarnwick.CWnd";

} // namespace

CWnd::~CWnd() {
    if (m_deleted != nullptr)
        *m_deleted = true;
    // An object that dies before its window must not leave a dangling pointer behind.
    if (m_hWnd != nullptr) {
        if (m_subclassed) {
            UnsubclassWindow();
        } else {
            ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
            ::RemovePropA(m_hWnd, kObjectProp);
            ::DestroyWindow(m_hWnd);
        }
        m_hWnd = nullptr;
    }
}

HINSTANCE CWnd::Instance() {
    return ::GetModuleHandleA(nullptr);
}

const char* CWnd::DefaultClassName() {
    static const char kName[] = "TarnwickFrame";
    static const bool registered = [] {
        WNDCLASSEXA wc = {sizeof(wc)};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &CWnd::WindowProc;
        wc.hInstance = Instance();
        wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kName;
        return ::RegisterClassExA(&wc) != 0;
    }();
    return registered ? kName : nullptr;
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                    int y, int width, int height, HWND parent, HMENU menu) {
    if (m_hWnd != nullptr)
        return false;
    if (className == nullptr)
        className = DefaultClassName();
    if (className == nullptr)
        return false;
    // A window refused in WM_NCCREATE or WM_CREATE is already destroyed when this returns.
    return ::CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu,
                             Instance(), this) != nullptr;
}

bool CWnd::DestroyWindow() {
    if (m_hWnd == nullptr)
        return false;
    return ::DestroyWindow(m_hWnd) != FALSE;
}

bool CWnd::CreateControl(const char* className, DWORD style, int x, int y, int width, int height,
                         HWND parent, int id) {
    if (m_hWnd != nullptr)
        return false;
    HWND hwnd =
        ::CreateWindowExA(0, className, "", style, x, y, width, height, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    if (hwnd == nullptr)
        return false;
    if (!SubclassWindow(hwnd)) {
        ::DestroyWindow(hwnd);
        return false;
    }
    return true;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (hwnd == nullptr || m_hWnd != nullptr)
        return false;
    if (!::SetWindowSubclass(hwnd, &CWnd::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hWnd = hwnd;
    m_subclassed = true;
    ::SetPropA(hwnd, kObjectProp, this);
    PreSubclassWindow();
    return true;
}

void CWnd::UnsubclassWindow() {
    if (m_hWnd == nullptr || !m_subclassed)
        return;
    ::RemoveWindowSubclass(m_hWnd, &CWnd::SubclassProc, 0);
    ::RemovePropA(m_hWnd, kObjectProp);
    m_hWnd = nullptr;
    m_subclassed = false;
}

void CWnd::SetWindowText(const std::string& text) const {
    ::SetWindowTextW(m_hWnd, mime::ToUtf16(text).c_str());
}

std::string CWnd::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0)
        return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int copied = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    return mime::FromUtf16(
        std::wstring_view(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0));
}

std::string CWnd::GetWindowTextOf(HWND hwnd) {
    const int length = ::GetWindowTextLengthA(hwnd);
    if (length <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int copied = ::GetWindowTextA(hwnd, buffer.data(), length + 1);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    return hwnd == nullptr ? nullptr : static_cast<CWnd*>(::GetPropA(hwnd, kObjectProp));
}

LRESULT CWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        OnDestroy();
        return DefaultProc(msg, wParam, lParam);
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (OnNotify(reinterpret_cast<NMHDR*>(lParam), &result))
            return result;
        break;
    }
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: {
        LRESULT brush = 0;
        if (ReflectControlColour(msg, wParam, lParam, &brush))
            return brush;
        break;
    }
    default:
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}

LRESULT CWnd::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_subclassed)
        return ::DefSubclassProc(m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

int CWnd::OnCreate(CREATESTRUCTA*) {
    return static_cast<int>(Default());
}

void CWnd::OnTimer(UINT_PTR) {
    Default();
}

bool CWnd::OnCommand(WPARAM, LPARAM) {
    return false;
}

bool CWnd::OnNotify(NMHDR*, LRESULT*) {
    return false;
}

void CWnd::OnClose() {
    Default();
}

void CWnd::OnPaint() {
    Default();
}

LRESULT CWnd::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Messages nest (a handler may send another), so the current one is saved and restored.
    const CurrentMessage saved = m_current;
    bool deleted = false;
    bool* const outerDeleted = m_deleted;
    m_deleted = &deleted;
    m_current = {msg, wParam, lParam};
    ++m_depth;
    LRESULT result = 0;
    try {
        result = OnMessage(msg, wParam, lParam);
    } catch (...) {
        // No exception may unwind through the system's window procedure.
        if (!deleted)
            result = DefaultProc(msg, wParam, lParam);
    }
    if (deleted) {
        // The handler deleted the object: nothing of it may be touched any more.
        if (outerDeleted != nullptr)
            *outerDeleted = true;
        return result;
    }
    m_deleted = outerDeleted;
    if (msg == WM_NCDESTROY) {
        Detach();
        m_windowGone = true;
    }
    m_current = saved;
    // A window destroyed from inside one of its own handlers (WM_CLOSE, say) is finished
    // only once that outer handler has unwound: the object may delete itself then.
    if (--m_depth == 0 && m_windowGone) {
        m_windowGone = false;
        PostNcDestroy();
    }
    return result;
}

void CWnd::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetPropA(hwnd, kObjectProp, this);
}

void CWnd::Detach() {
    if (m_hWnd == nullptr)
        return;
    if (m_subclassed) {
        UnsubclassWindow();
        return;
    }
    ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    ::RemovePropA(m_hWnd, kObjectProp);
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWnd::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd* self = reinterpret_cast<CWnd*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr && msg == WM_NCCREATE) {
        self = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self != nullptr)
            self->Attach(hwnd);
    }
    if (self == nullptr)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    return self->Dispatch(msg, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR refData) {
    CWnd* self = reinterpret_cast<CWnd*>(refData);
    if (self == nullptr || self->m_hWnd != hwnd)
        return ::DefSubclassProc(hwnd, msg, wParam, lParam);
    return self->Dispatch(msg, wParam, lParam);
}

bool CFrameWnd::Create(const char* className, const char* title, DWORD style, HWND parent,
                       HMENU menu) {
    if (!CreateEx(0, className, title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, parent, menu))
        return false;
    m_ownsItself = true;
    return true;
}

void CFrameWnd::PostNcDestroy() {
    if (m_ownsItself)
        delete this;
}
