#pragma once

#include "config/general_page.h"
#include "config/mail_settings_page.h"
#include "config/notification_page.h"
#include "framework/property_sheet.h"
#include "settings/account.h"
#include "settings/configuration.h"

// The "Configuration" sheet: its own copies of the account and the configuration, filled
// from the three pages and saved when the owner applies a confirmed run.
class CConfDialog : public CPropertySheet {
public:
    CConfDialog(const char* caption, HWND parent = nullptr, UINT selectPage = 0);
    ~CConfDialog() override;

    // After DoModal returned IDOK: the pages' values into both records, then both saved.
    void ApplyChanges();
    Account GetAccount() const { return m_Account; }
    CConfiguration GetConfiguration() const { return m_Configuration; }

protected:
    bool OnInitDialog() override;

    Account m_Account;
    CConfiguration m_Configuration;
    MailSettingsPage m_MailSettingsPage;
    GeneralPage m_GeneralPage;
    NotificationPage m_NotificationPage;
};
