#pragma once

#include "framework/property_sheet.h"

#include <string>

// Tab "Server Settiings": the POP3 server, user name and password.
class MailSettingsPage : public CPropertyPage {
public:
    MailSettingsPage();
    ~MailSettingsPage() override;

    std::string m_MailServer;
    std::string m_Password;
    std::string m_UserName;

protected:
    void DoDataExchange(CDataExchange* dx) override;
};
