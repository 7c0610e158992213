#include "config/notification_page.h"

#include "framework/data_exchange.h"
#include "framework/file_dialog.h"
#include "res/resource.h"
#include "settings/configuration.h"

NotificationPage::NotificationPage() : CPropertyPage(IDD_NOTIFICATION_PAGE) {
    CConfiguration configuration;
    configuration.Load();
    m_UseDefaultSound = configuration.m_UseDefaultSound;
    m_NotificationSoundFile = configuration.m_NotificationSoundFile;
    m_ShowNotice = configuration.m_ShowNotice;
}

NotificationPage::~NotificationPage() = default;

void NotificationPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPage::DoDataExchange(dx);
    DDX_Check(dx, IDC_DEFAULT_SOUND, m_UseDefaultSound);
    DDX_Text(dx, IDC_SOUND_FILE, m_NotificationSoundFile);
    DDX_Check(dx, IDC_SHOW_NOTICE, m_ShowNotice);
}

bool NotificationPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    OnDefaultSound();
    return true;
}

bool NotificationPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != BN_CLICKED)
        return CPropertyPage::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
    case IDC_DEFAULT_SOUND:
        OnDefaultSound();
        return true;
    case IDC_BROWSE_SOUND:
        OnBrowseSound();
        return true;
    default:
        return CPropertyPage::OnCommand(wParam, lParam);
    }
}

void NotificationPage::OnDefaultSound() {
    UpdateData(true);
    ::EnableWindow(GetDlgItem(IDC_BROWSE_SOUND), m_UseDefaultSound == 0);
    ::EnableWindow(GetDlgItem(IDC_SOUND_FILE), m_UseDefaultSound == 0);
}

void NotificationPage::OnBrowseSound() {
    CFileDialog chooser(true, "*.wav", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                        "Sounds Files (*.wav)|*.wav|All Files (*.*)|*.*||", m_hWnd);
    if (chooser.DoModal() != IDOK)
        return;
    m_NotificationSoundFile = chooser.GetPathName();
    UpdateData(false);
}
