#pragma once

#include "framework/property_sheet.h"

#include <string>

// Tab "Notification": the default chime or a sound file of the user's.
class NotificationPage : public CPropertyPage {
public:
    NotificationPage();
    ~NotificationPage() override;

    int m_UseDefaultSound = 0;
    std::string m_NotificationSoundFile;
    int m_ShowNotice = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    bool OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

    void OnDefaultSound();
    void OnBrowseSound();
};
