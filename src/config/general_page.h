#pragma once

#include "framework/property_sheet.h"

#include <string>

// Tab "General": check interval, summaries and their length, checking at start-up and the
// e-mail program.
class GeneralPage : public CPropertyPage {
public:
    GeneralPage();
    ~GeneralPage() override;

    int m_CheckMailOnStartup = 0;
    int m_Summaries = 0;
    std::string m_EmailClient;
    int m_SummarySize = 0;
    int m_Interval = 0;
    int m_UseDefaultEmail = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Leaving the page or OK: a program of the user's needs its path.
    bool OnKillActive() override;

    void OnBrowseEmailClient();
    void OnSummaries();
    void OnUseDefaultEmail();
};
