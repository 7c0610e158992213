#pragma once

#include <string>

class ProfileBatch;

// The application's own settings, section "Notification" of the profile.
class CConfiguration {
public:
    CConfiguration() = default;
    virtual ~CConfiguration() = default;
    CConfiguration(const CConfiguration&) = default;
    CConfiguration& operator=(const CConfiguration&) = default;

    void Load();
    void Save(); // stores "FirstTime" as 0 whatever m_FirstTime holds
    // The same values, added to a save of several records.
    void Save(ProfileBatch& batch) const;

    int m_CheckMailOnStartup = 0;
    int m_UseDefaultSound = 0;
    int m_UseDefaultEmail = 0;
    std::string m_NotificationSoundFile;
    int m_Interval = 0;
    std::string m_EmailClient;
    int m_FirstTime = 0;
    int m_ShowNotice = 0; // a balloon on new mail
};
