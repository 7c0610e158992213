#include "config/general_page.h"

#include "framework/data_exchange.h"
#include "framework/file_dialog.h"
#include "framework/message_box.h"
#include "res/resource.h"
#include "settings/account.h"
#include "settings/configuration.h"

GeneralPage::GeneralPage() : CPropertyPage(IDD_GENERAL_PAGE) {
    Account account;
    account.Load();
    CConfiguration configuration;
    configuration.Load();
    m_CheckMailOnStartup = configuration.m_CheckMailOnStartup;
    m_Summaries = account.m_Summaries;
    m_EmailClient = configuration.m_EmailClient;
    m_SummarySize = account.m_SummarySize;
    m_Interval = configuration.m_Interval;
    m_UseDefaultEmail = configuration.m_UseDefaultEmail;
}

GeneralPage::~GeneralPage() = default;

void GeneralPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPage::DoDataExchange(dx);
    DDX_Check(dx, IDC_CHECK_ON_STARTUP, m_CheckMailOnStartup);
    DDX_Check(dx, IDC_SUMMARIES, m_Summaries);
    DDX_Text(dx, IDC_EMAIL_CLIENT, m_EmailClient);
    DDX_Text(dx, IDC_SUMMARY_SIZE, m_SummarySize);
    DDV_MinMaxInt(dx, m_SummarySize, 0, 999);
    DDX_Text(dx, IDC_INTERVAL, m_Interval);
    DDV_MinMaxInt(dx, m_Interval, 3, 999);
    DDX_Check(dx, IDC_USE_DEFAULT_EMAIL, m_UseDefaultEmail);
}

bool GeneralPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    OnSummaries();
    OnUseDefaultEmail();
    return true;
}

bool GeneralPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != BN_CLICKED)
        return CPropertyPage::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
    case IDC_BROWSE_EMAIL_CLIENT:
        OnBrowseEmailClient();
        return true;
    case IDC_SUMMARIES:
        OnSummaries();
        return true;
    case IDC_USE_DEFAULT_EMAIL:
        OnUseDefaultEmail();
        return true;
    default:
        return CPropertyPage::OnCommand(wParam, lParam);
    }
}

bool GeneralPage::OnKillActive() {
    if (!CPropertyPage::OnKillActive())
        return false;
    // Only here, not in the exchange: unticking the box runs the exchange, and must not be
    // answered with a complaint about the path the user is about to type.
    if (m_UseDefaultEmail == 0 && m_EmailClient.find_first_not_of(" \t") == std::string::npos) {
        AfxMessageBox("Please enter the path of your email program, or tick \"Use default Email "
                      "program\".",
                      MB_OK | MB_ICONEXCLAMATION, m_hWnd);
        ::SetFocus(GetDlgItem(IDC_EMAIL_CLIENT));
        return false;
    }
    return true;
}

void GeneralPage::OnBrowseEmailClient() {
    CFileDialog chooser(true, "*.exe", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                        "Program Files (*.exe)|*.exe|All Files (*.*)|*.*||", m_hWnd);
    if (chooser.DoModal() != IDOK)
        return;
    m_EmailClient = chooser.GetPathName();
    UpdateData(false);
}

void GeneralPage::OnSummaries() {
    // The rule follows the field even when the exchange was refused part-way.
    UpdateData(true);
    ::EnableWindow(GetDlgItem(IDC_SUMMARY_SIZE), m_Summaries != 0);
}

void GeneralPage::OnUseDefaultEmail() {
    UpdateData(true);
    ::EnableWindow(GetDlgItem(IDC_EMAIL_CLIENT), m_UseDefaultEmail == 0);
    ::EnableWindow(GetDlgItem(IDC_BROWSE_EMAIL_CLIENT), m_UseDefaultEmail == 0);
}
