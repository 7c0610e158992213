#include "settings/configuration.h"

#include "settings/profile.h"

namespace {
const char kSection[] = "Notification";
}

void CConfiguration::Load() {
    const Profile& profile = Profile::Application();
    m_CheckMailOnStartup = profile.GetInt(kSection, "CheckMailOnStartup", 1);
    m_UseDefaultSound = profile.GetInt(kSection, "UseDefaultSound", 1);
    m_UseDefaultEmail = profile.GetInt(kSection, "UseDefaultEmail", 1);
    m_NotificationSoundFile = profile.GetString(kSection, "NotificationSoundFile", "GotMail.wav");
    m_EmailClient = profile.GetString(kSection, "EmailClient", "");
    m_Interval = profile.GetInt(kSection, "Interval", 5);
    m_FirstTime = profile.GetInt(kSection, "FirstTime", 1);
    m_ShowNotice = profile.GetInt(kSection, "ShowNotice", 1);
}

void CConfiguration::Save() {
    ProfileBatch batch(Profile::Application());
    Save(batch);
    batch.Commit();
}

void CConfiguration::Save(ProfileBatch& batch) const {
    batch.WriteInt(kSection, "CheckMailOnStartup", m_CheckMailOnStartup);
    batch.WriteInt(kSection, "UseDefaultSound", m_UseDefaultSound);
    batch.WriteInt(kSection, "UseDefaultEmail", m_UseDefaultEmail);
    batch.WriteString(kSection, "NotificationSoundFile", m_NotificationSoundFile);
    batch.WriteString(kSection, "EmailClient", m_EmailClient);
    batch.WriteInt(kSection, "Interval", m_Interval);
    batch.WriteInt(kSection, "ShowNotice", m_ShowNotice);
    // Saving ends the first run of this version, whatever this record was loaded with.
    batch.WriteInt(kSection, "FirstTime", 0);
}
