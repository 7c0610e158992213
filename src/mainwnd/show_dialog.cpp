#include "mainwnd/show_dialog.h"

#include "framework/data_exchange.h"
#include "mainwnd/window_messages.h"
#include "mime/utf16_win.h"
#include "res/resource.h"

namespace {
constexpr UINT kPopupMs = 3500;
}

CShowDialog::CShowDialog(CWnd* owner) : CDialog(IDD_SUMMARY_POPUP), m_owner(owner) {}

int CShowDialog::CreatePopup() {
    // Owned by the main window, so that it stays in front of it when the main window takes
    // the focus back; still a top-level window, placed in screen coordinates.
    Create(m_owner != nullptr ? m_owner->GetSafeHwnd() : nullptr);
    StartCountdown();
    return 1;
}

void CShowDialog::SetSummaryText(const std::string& text) {
    m_timer.Kill();
    StartCountdown();
    ::SetDlgItemTextW(m_hWnd, IDC_SUMMARY_TEXT, mime::ToUtf16(text).c_str());
}

void CShowDialog::StartCountdown() {
    m_timer.Set(m_hWnd, ID_TIMER_POPUP, kPopupMs);
}

void CShowDialog::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_SUMMARY_TEXT, m_text);
}

void CShowDialog::OnTimer(UINT_PTR) {
    // The owner destroys this window while the message is being handled.
    m_owner->SendMessage(WM_POPUP_TIMEOUT);
    if (m_hWnd != nullptr)
        Default();
}

bool CShowDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_SUMMARY_TEXT) {
        // A reader who clicked into the text keeps the popup until the text loses the focus.
        if (HIWORD(wParam) == EN_SETFOCUS) {
            m_timer.Kill();
            return true;
        }
        if (HIWORD(wParam) == EN_KILLFOCUS) {
            StartCountdown();
            return true;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}
