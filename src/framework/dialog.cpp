#include "framework/dialog.h"

#include "framework/data_exchange.h"

namespace {

// Where DefaultProc reports "not handled" for the message being dispatched now. Messages
// nest, so each dialog-procedure call installs its own flag and puts the outer one back.
thread_local bool* t_handled = nullptr;

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
    const INT_PTR result = ::DialogBoxParamA(Instance(), MAKEINTRESOURCEA(m_templateId), m_parent,
                                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

bool CDialog::Create(HWND parent) {
    if (m_hWnd != nullptr)
        return false;
    if (parent != nullptr)
        m_parent = parent;
    m_modal = false;
    HWND hwnd = ::CreateDialogParamA(Instance(), MAKEINTRESOURCEA(m_templateId), m_parent,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hwnd != nullptr && m_hWnd == hwnd;
}

void CDialog::EndDialog(int result) {
    if (m_hWnd == nullptr)
        return;
    if (m_modal)
        ::EndDialog(m_hWnd, result);
    else
        ::DestroyWindow(m_hWnd);
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

INT_PTR CDialog::Finish(HWND hwnd, UINT msg, LRESULT result, bool handled) {
    if (ReturnsDirectly(msg))
        return static_cast<INT_PTR>(result);
    if (!handled)
        return FALSE;
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CDialog::Route(CDialog* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
