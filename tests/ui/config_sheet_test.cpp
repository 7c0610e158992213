#include "config_test_support.h"

#include "res/resource.h"

namespace {

std::vector<std::string> TabTitles(HWND sheet) {
    HWND tab = PropSheet_GetTabControl(sheet);
    std::vector<std::string> titles;
    for (int i = 0; i < TabCtrl_GetItemCount(tab); ++i) {
        char text[64] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        ::SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        titles.push_back(text);
    }
    return titles;
}

using ConfigSheet = ConfigSheetTest;

TEST_F(ConfigSheet, OkAtOnceWritesEveryStoredValueBackAndEndsTheFirstRun) {
    SeedProfile();
    CConfDialog sheet("Configuration", nullptr, 0);
    std::string caption;
    std::vector<std::string> titles;
    int selectedTab = -1;
    std::string shownServer;
    EXPECT_EQ(IDOK, Run(sheet, {[&] {
                            caption = sheet.GetWindowText();
                            titles = TabTitles(sheet);
                            selectedTab =
                                TabCtrl_GetCurSel(PropSheet_GetTabControl(sheet.GetSafeHwnd()));
                            shownServer = ItemText(Page(sheet), IDC_MAIL_SERVER);
                            PressOk(sheet);
                            return true;
                        }}));
    sheet.ApplyChanges();

    EXPECT_EQ("Configuration", caption);
    EXPECT_EQ((std::vector<std::string>{"Server Settiings", "General", "Notification"}), titles);
    EXPECT_EQ(0, selectedTab);
    EXPECT_EQ("pop.example.org", shownServer);
    EXPECT_TRUE(m_boxes.Boxes().empty());

    Account account;
    account.Load();
    EXPECT_EQ("ada", account.m_UserName);
    EXPECT_EQ("s3cret", account.m_Password);
    EXPECT_EQ("pop.example.org", account.m_MailServer);
    EXPECT_EQ(12, account.m_SummarySize);
    EXPECT_EQ(0, account.m_Summaries);
    CConfiguration configuration;
    configuration.Load();
    EXPECT_EQ(0, configuration.m_CheckMailOnStartup);
    EXPECT_EQ(0, configuration.m_UseDefaultSound);
    EXPECT_EQ(0, configuration.m_UseDefaultEmail);
    EXPECT_EQ("C:\\sounds\\bell.wav", configuration.m_NotificationSoundFile);
    EXPECT_EQ("C:\\mail\\reader.exe", configuration.m_EmailClient);
    EXPECT_EQ(17, configuration.m_Interval);
    EXPECT_EQ(0, configuration.m_FirstTime);

    // The owner's copies: as loaded when the sheet opened, check results fresh.
    const Account handed = sheet.GetAccount();
    EXPECT_EQ("s3cret", handed.m_Password);
    EXPECT_EQ(0, handed.m_MessageCount);
    EXPECT_EQ(Account::ListRebuilt, handed.m_Status);
    EXPECT_EQ("", handed.m_LastError);
    EXPECT_EQ(1, sheet.GetConfiguration().m_FirstTime);
    EXPECT_EQ(17, sheet.GetConfiguration().m_Interval);
}

TEST_F(ConfigSheet, OkAtOnceOnAnEmptyProfileStoresEveryDefault) {
    CConfDialog sheet("Configuration", nullptr, 0);
    EXPECT_EQ(IDOK, Run(sheet, {[&] {
                            PressOk(sheet);
                            return true;
                        }}));
    sheet.ApplyChanges();

    // Read back with defaults the program never uses: every key must be in the file.
    const Profile& profile = Profile::Application();
    EXPECT_EQ(1, profile.GetInt("Notification", "CheckMailOnStartup", -1));
    EXPECT_EQ(1, profile.GetInt("Notification", "UseDefaultSound", -1));
    EXPECT_EQ(1, profile.GetInt("Notification", "UseDefaultEmail", -1));
    EXPECT_EQ("GotMail.wav", profile.GetString("Notification", "NotificationSoundFile", "?"));
    EXPECT_EQ("", profile.GetString("Notification", "EmailClient", "?"));
    EXPECT_EQ(5, profile.GetInt("Notification", "Interval", -1));
    EXPECT_EQ(0, profile.GetInt("Notification", "FirstTime", -1));
    EXPECT_EQ("", profile.GetString("MailSettings", "Mail server", "?"));
    EXPECT_EQ("", profile.GetString("MailSettings", "User name", "?"));
    EXPECT_EQ("", profile.GetString("MailSettings", "RegKey", "?"));
    EXPECT_EQ(8, profile.GetInt("MailSettings", "Summarysize", -1));
    EXPECT_EQ(1, profile.GetInt("MailSettings", "Summaries", -1));
}

TEST_F(ConfigSheet, CancelSavesNothingAndHandsOutTheStoredRecords) {
    SeedProfile();
    const std::string before = m_profile.Contents();
    CConfDialog sheet("Configuration", nullptr, 0);
    EXPECT_EQ(IDCANCEL, Run(sheet, {[&] {
                                SetItemText(Page(sheet), IDC_MAIL_SERVER, "other.host");
                                HWND general = ShowPage(sheet, kGeneralPage);
                                SetItemText(general, IDC_INTERVAL, "30");
                                ShowPage(sheet, kNotificationPage);
                                PressCancel(sheet);
                                return true;
                            }}));

    EXPECT_EQ(before, m_profile.Contents());
    EXPECT_EQ("pop.example.org", sheet.GetAccount().m_MailServer);
    EXPECT_EQ(17, sheet.GetConfiguration().m_Interval);
    EXPECT_EQ(1, sheet.GetConfiguration().m_FirstTime);
}

TEST_F(ConfigSheet, EditsOnEveryPageReachTheProfile) {
    SeedProfile();
    CConfDialog sheet("Configuration", nullptr, 0);
    EXPECT_EQ(IDOK, Run(sheet, {[&] {
                            HWND mail = Page(sheet);
                            SetItemText(mail, IDC_MAIL_SERVER, "mail.example.net");
                            SetItemText(mail, IDC_USER_NAME, "grace");
                            SetItemText(mail, IDC_PASSWORD, "n3w pass");
                            HWND general = ShowPage(sheet, kGeneralPage);
                            Click(general, IDC_CHECK_ON_STARTUP);
                            Click(general, IDC_SUMMARIES);
                            SetItemText(general, IDC_SUMMARY_SIZE, "20");
                            SetItemText(general, IDC_INTERVAL, "45");
                            SetItemText(general, IDC_EMAIL_CLIENT, "D:\\bin\\mua.exe");
                            HWND notification = ShowPage(sheet, kNotificationPage);
                            SetItemText(notification, IDC_SOUND_FILE, "D:\\ding.wav");
                            Click(notification, IDC_DEFAULT_SOUND);
                            PressOk(sheet);
                            return true;
                        }}));
    sheet.ApplyChanges();

    Account account;
    account.Load();
    EXPECT_EQ("mail.example.net", account.m_MailServer);
    EXPECT_EQ("grace", account.m_UserName);
    EXPECT_EQ("n3w pass", account.m_Password);
    EXPECT_EQ(20, account.m_SummarySize);
    EXPECT_EQ(1, account.m_Summaries);
    CConfiguration configuration;
    configuration.Load();
    EXPECT_EQ(1, configuration.m_CheckMailOnStartup);
    EXPECT_EQ(45, configuration.m_Interval);
    EXPECT_EQ("D:\\bin\\mua.exe", configuration.m_EmailClient);
    EXPECT_EQ(0, configuration.m_UseDefaultEmail);
    EXPECT_EQ(1, configuration.m_UseDefaultSound);
    EXPECT_EQ("D:\\ding.wav", configuration.m_NotificationSoundFile);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ConfigSheet, PasswordIsMaskedOnScreenAndPlainInTheAccount) {
    SeedProfile();
    CConfDialog sheet("Configuration", nullptr, 0);
    bool passwordStyle = false;
    LRESULT maskChar = 0;
    std::string shown;
    EXPECT_EQ(IDOK, Run(sheet, {[&] {
                            HWND edit = ::GetDlgItem(Page(sheet), IDC_PASSWORD);
                            passwordStyle = (::GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD) != 0;
                            maskChar = ::SendMessageA(edit, EM_GETPASSWORDCHAR, 0, 0);
                            shown = CWnd::GetWindowTextOf(edit);
                            ::SetWindowTextA(edit, "P@ss word!");
                            PressOk(sheet);
                            return true;
                        }}));
    sheet.ApplyChanges();

    EXPECT_TRUE(passwordStyle);
    EXPECT_NE(0, maskChar);
    EXPECT_EQ("s3cret", shown);
    EXPECT_EQ("P@ss word!", sheet.GetAccount().m_Password);
    EXPECT_NE("P@ss word!", Profile::Application().GetString("MailSettings", "RegKey"));
    Account stored;
    stored.Load();
    EXPECT_EQ("P@ss word!", stored.m_Password);
}

} // namespace
