#include "about/about_dlg.h"

#include <string>

#include "about/credits_dlg.h"
#include "framework/data_exchange.h"
#include "framework/dpi.h"
#include "res/resource.h"
#include "update/auto_update_client.h"

namespace {

const char kReleaseMarker[] = "R";
const char kDonationText[] =
    "This program is a Roradidez. \r\nIf you like it, and use it, please make a small donation "
    "or contribute to some anti-racism, human-rights or peace promoting organization near "
    "you.\r\nThank you.\n\n";

} // namespace

CAboutDlg::CAboutDlg(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}

void CAboutDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_MAIL_LINK, m_mailLink);
    DDX_Control(dx, IDC_HOME_LINK, m_homeLink);
}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowStaticBitmapForDpi(m_hWnd, IDC_ABOUT_PICTURE, IDB_ABOUT, IDB_ABOUT_2X, m_logo);
    ::SetDlgItemTextA(m_hWnd, IDC_VERSION_NUMBER, std::to_string(kProgramVersion).c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_BUILD_MARKER, kReleaseMarker);
    ::SetDlgItemTextA(m_hWnd, IDC_DONATION_TEXT, kDonationText);
    return true;
}

bool CAboutDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != BN_CLICKED)
        return CDialog::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
    case IDC_ABOUT_OK:
        CDialog::OnOK();
        return true;
    case IDC_CHECK_UPDATE:
        m_updateRequested = 1;
        CDialog::OnOK();
        return true;
    case IDC_CREDITS_BUTTON: {
        CCreditsDlg credits;
        credits.DoModal();
        return true;
    }
    default:
        return CDialog::OnCommand(wParam, lParam);
    }
}
