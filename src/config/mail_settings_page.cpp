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
    m_LoginMethod = account.m_LoginMethod;
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
    int login = static_cast<int>(m_LoginMethod);
    DDX_CBIndex(dx, IDC_LOGIN_METHOD, login);
    if (dx->m_bSaveAndValidate && login >= 0) {
        m_LoginMethod = static_cast<pop3::LoginMethod>(login);
    }
}

namespace {

// Fills a drop-down list from a string resource of choices separated by line feeds.
void AddChoices(HWND page, int control, UINT choicesId) {
    char choices[128] = {};
    ::LoadStringA(CWnd::Instance(), choicesId, choices, sizeof choices);
    const std::string all = choices;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = std::min(all.find('\n', start), all.size());
        const std::string choice = all.substr(start, end - start);
        ::SendDlgItemMessageA(page, control, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(choice.c_str()));
        start = end + 1;
    }
}

} // namespace

bool MailSettingsPage::OnInitDialog() {
    // The choices must be in the lists before the exchange selects one.
    AddChoices(GetSafeHwnd(), IDC_SECURITY, IDS_SECURITY_CHOICES);
    AddChoices(GetSafeHwnd(), IDC_LOGIN_METHOD, IDS_LOGIN_CHOICES);
    return CPropertyPage::OnInitDialog();
}
