#pragma once

#include "framework/property_sheet.h"

#include <string>

#include "pop3/security.h"

// Tab "Server Settiings": the POP3 server, user name, password and security.
class MailSettingsPage : public CPropertyPage {
public:
    MailSettingsPage();
    ~MailSettingsPage() override;

    std::string m_MailServer;
    std::string m_Password;
    std::string m_UserName;
    pop3::Security m_Security = pop3::Security::None;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;
};
