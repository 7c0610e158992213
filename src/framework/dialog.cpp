#include "framework/dialog.h"

#include "framework/data_exchange.h"

namespace {

// Where DefaultProc reports "not handled" for the message being dispatched now. Messages
// nest, so each dialog-procedure call installs its own flag and puts the outer one back.
thread_local bool* t_handled = nullptr;

// DefDlgProc calls the dialog procedure first; while RunDefault runs it for a message, that
// one call must come back "not handled" without reaching the object again.
struct Bypass {
    HWND hwnd;
    UINT msg;
};
thread_local Bypass t_bypass = {nullptr, 0};

bool ReturnsDirectly(UINT msg) {
    switch (msg) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

} // namespace

CDialog::CDialog(UINT templateId, HWND parent) : m_parent(parent), m_templateId(templateId) {}

INT_PTR CDialog::DoModal() {
    if (m_hWnd != nullptr)
        return -1;
    m_modal = true;
    m_ending = false;
    m_result = -1;
    HWND hwnd = CreateFromTemplate();
    if (hwnd == nullptr) {
        m_modal = false;
        return -1;
    }
    HWND owner = m_parent != nullptr ? ::GetAncestor(m_parent, GA_ROOT) : nullptr;
    const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disableOwner)
        ::EnableWindow(owner, FALSE);
    if (!m_ending && ::IsWindow(hwnd))
        ::ShowWindow(hwnd, SW_SHOW);
    MSG msg;
    while (!m_ending && ::IsWindow(hwnd)) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The outer loop must see the quit request too.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!RouteToDialog(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    // The owner comes back before the dialog goes, so that it is activated again.
    if (disableOwner)
        ::EnableWindow(owner, TRUE);
    if (::IsWindow(hwnd))
        ::DestroyWindow(hwnd);
    m_modal = false;
    return m_result;
}

bool CDialog::RouteToDialog(MSG* msg) {
    if (msg->hwnd == nullptr)
        return false;
    HWND root = ::GetAncestor(msg->hwnd, GA_ROOT);
    auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(root));
    return dialog != nullptr && ::IsDialogMessageA(root, msg) != FALSE;
}

HWND CDialog::CreateFromTemplate() {
    // Made wide, so that its controls are Unicode windows and show mail text in any
    // language; the template itself is Unicode already.
    return ::CreateDialogParamW(Instance(), MAKEINTRESOURCEW(m_templateId), m_parent,
                                &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create(HWND parent) {
    if (m_hWnd != nullptr)
        return false;
    if (parent != nullptr)
        m_parent = parent;
    m_modal = false;
    HWND hwnd = CreateFromTemplate();
    return hwnd != nullptr && m_hWnd == hwnd;
}

void CDialog::EndDialog(int result) {
    if (m_hWnd == nullptr)
        return;
    if (m_modal) {
        m_result = result;
        m_ending = true;
        // Wakes the loop when this was called from outside it (a timer of another window).
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    } else {
        ::DestroyWindow(m_hWnd);
    }
}

bool CDialog::UpdateData(bool saveAndValidate) {
    if (m_hWnd == nullptr)
        return false;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

bool CDialog::OnInitDialog() {
    // A failed exchange here has already told the user; the dialog still opens.
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

LRESULT CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG)
        return OnInitDialog() ? TRUE : FALSE;
    return CWnd::OnMessage(msg, wParam, lParam);
}

bool CDialog::OnCommand(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != 1)
        return false;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

LRESULT CDialog::DefaultProc(UINT, WPARAM, LPARAM) {
    if (t_handled != nullptr)
        *t_handled = false;
    return 0;
}

LRESULT CDialog::RunDefault(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_hWnd == nullptr)
        return 0;
    const Bypass outer = t_bypass;
    t_bypass = {m_hWnd, msg};
    // Property pages are made by the narrow sheet call; the default must match the window.
    const LRESULT result = ::IsWindowUnicode(m_hWnd) ? ::DefDlgProcW(m_hWnd, msg, wParam, lParam)
                                                     : ::DefDlgProcA(m_hWnd, msg, wParam, lParam);
    t_bypass = outer;
    return result;
}

INT_PTR CDialog::Finish(HWND hwnd, UINT msg, LRESULT result, bool handled) {
    if (ReturnsDirectly(msg))
        return static_cast<INT_PTR>(result);
    if (!handled)
        return FALSE;
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CDialog::Route(CDialog* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (t_bypass.hwnd == hwnd && t_bypass.msg == msg) {
        t_bypass = {nullptr, 0};
        return FALSE;
    }
    bool handled = true;
    bool* const outer = t_handled;
    t_handled = &handled;
    // The object may be gone when Dispatch returns (a self-deleting dialog).
    const LRESULT result = self->Dispatch(msg, wParam, lParam);
    t_handled = outer;
    return Finish(hwnd, msg, result, handled);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr && msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        if (self != nullptr)
            self->Attach(hwnd);
    }
    if (self == nullptr)
        return FALSE;
    return Route(self, hwnd, msg, wParam, lParam);
}
