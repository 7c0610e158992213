#include "config/conf_dialog.h"

#include "framework/message_box.h"
#include "settings/profile.h"

CConfDialog::CConfDialog(const char* caption, HWND parent, UINT selectPage)
    : CPropertySheet(caption, parent, selectPage) {
    AddPage(&m_MailSettingsPage);
    AddPage(&m_GeneralPage);
    AddPage(&m_NotificationPage);
}

CConfDialog::~CConfDialog() = default;

bool CConfDialog::OnInitDialog() {
    const bool result = CPropertySheet::OnInitDialog();
    if (!m_Account.Load())
        ShowMessageBox(m_hWnd, "Can't open configuration file.", "Error", MB_OK | MB_ICONERROR);
    m_Configuration.Load();
    return result;
}

void CConfDialog::ApplyChanges() {
    m_Account.Set(m_MailSettingsPage.m_UserName, m_MailSettingsPage.m_Password,
                  m_MailSettingsPage.m_MailServer, m_GeneralPage.m_SummarySize,
                  m_GeneralPage.m_Summaries);
    m_Account.m_Security = m_MailSettingsPage.m_Security;
    m_Account.m_LoginMethod = m_MailSettingsPage.m_LoginMethod;
    m_Configuration.m_CheckMailOnStartup = m_GeneralPage.m_CheckMailOnStartup;
    m_Configuration.m_UseDefaultSound = m_NotificationPage.m_UseDefaultSound;
    m_Configuration.m_NotificationSoundFile = m_NotificationPage.m_NotificationSoundFile;
    m_Configuration.m_ShowNotice = m_NotificationPage.m_ShowNotice;
    m_Configuration.m_UseDefaultEmail = m_GeneralPage.m_UseDefaultEmail;
    m_Configuration.m_EmailClient = m_GeneralPage.m_EmailClient;
    m_Configuration.m_Interval = m_GeneralPage.m_Interval;
    // Both records in one write of the profile.
    ProfileBatch batch(Profile::Application());
    m_Account.Save(batch);
    m_Configuration.Save(batch);
    batch.Commit();
}
