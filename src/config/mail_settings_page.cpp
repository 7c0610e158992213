#include "config/mail_settings_page.h"

#include <algorithm>

#include "framework/data_exchange.h"
#include "res/resource.h"
#include "settings/account.h"

MailSettingsPage::MailSettingsPage() : CPropertyPage(IDD_MAIL_SETTINGS_PAGE) {
    Account account;
    account.Load();
    m_MailServer = account.m_MailServer;
    m_Password = account.m_Password;
    m_UserName = account.m_UserName;
    m_Security = account.m_Security;
}

MailSettingsPage::~MailSettingsPage() = default;

void MailSettingsPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPage::DoDataExchange(dx);
    DDX_Text(dx, IDC_MAIL_SERVER, m_MailServer);
    DDX_Text(dx, IDC_PASSWORD, m_Password);
    DDX_Text(dx, IDC_USER_NAME, m_UserName);
    int security = static_cast<int>(m_Security);
    DDX_CBIndex(dx, IDC_SECURITY, security);
    if (dx->m_bSaveAndValidate && security >= 0) {
        m_Security = static_cast<pop3::Security>(security);
    }
}

bool MailSettingsPage::OnInitDialog() {
    // The choices must be in the list before the exchange selects one.
    char choices[128] = {};
    ::LoadStringA(CWnd::Instance(), IDS_SECURITY_CHOICES, choices, sizeof choices);
    const std::string all = choices;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = std::min(all.find('\n', start), all.size());
        const std::string choice = all.substr(start, end - start);
        ::SendDlgItemMessageA(GetSafeHwnd(), IDC_SECURITY, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(choice.c_str()));
        start = end + 1;
    }
    return CPropertyPage::OnInitDialog();
}
