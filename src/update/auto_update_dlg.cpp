#include "update/auto_update_dlg.h"

#include "framework/data_exchange.h"
#include "res/maker.h"
#include "res/resource.h"

CAutoUpdateDlg::CAutoUpdateDlg(const std::string& url, HWND parent)
    : CDialog(IDD_AUTOUPDATE, parent), m_url(url.empty() ? TARNWICK_UPDATE_FILE : url) {}

void CAutoUpdateDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_UPDATE_LINK, m_link);
}

bool CAutoUpdateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_link.SetLinkTarget(m_url);
    m_link.SetLinkText(m_url);
    return true;
}
