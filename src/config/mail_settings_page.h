#pragma once

#include "framework/property_sheet.h"

#include <string>

#include "pop3/login_methods.h"
#include "pop3/security.h"

// Tab "Server Settiings": the POP3 server, user name, password, security and login.
class MailSettingsPage : public CPropertyPage {
public:
    MailSettingsPage();
    ~MailSettingsPage() override;

    std::string m_MailServer;
    std::string m_Password;
    std::string m_UserName;
    pop3::Security m_Security = pop3::Security::None;
    pop3::LoginMethod m_LoginMethod = pop3::LoginMethod::Normal;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;
};
