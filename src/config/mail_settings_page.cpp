#include "config/mail_settings_page.h"

#include "framework/data_exchange.h"
#include "res/resource.h"
#include "settings/account.h"

MailSettingsPage::MailSettingsPage() : CPropertyPage(IDD_MAIL_SETTINGS_PAGE) {
    Account account;
    account.Load();
    m_MailServer = account.m_MailServer;
    m_Password = account.m_Password;
    m_UserName = account.m_UserName;
}

MailSettingsPage::~MailSettingsPage() = default;

void MailSettingsPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPage::DoDataExchange(dx);
    DDX_Text(dx, IDC_MAIL_SERVER, m_MailServer);
    DDX_Text(dx, IDC_PASSWORD, m_Password);
    DDX_Text(dx, IDC_USER_NAME, m_UserName);
}
