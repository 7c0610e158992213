#include "config/conf_dialog.h"
#include "framework/file_dialog.h"
#include "framework_test_support.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <tuple>

namespace {

enum { kMailPage, kGeneralPage, kNotificationPage };

class ConfigSheet : public ::testing::Test {
protected:
    TempProfile m_profile;
    MessageBoxRecorder m_boxes;
};

HWND CurrentPage(const CPropertySheet& sheet) {
    return PropSheet_GetCurrentPageHwnd(sheet.GetSafeHwnd());
}
// Leaves the current page (with its checks) for page `index`; returns the page now in front.
HWND ShowPage(const CPropertySheet& sheet, int index) {
    PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, index);
    return CurrentPage(sheet);
}
bool Enabled(HWND page, int id) {
    return ::IsWindowEnabled(::GetDlgItem(page, id)) != FALSE;
}

struct Setting {
    const char* section;
    const char* key;
    std::string stored, edited;
};

// Every value the sheet shows as the profile holds it (none a default; defaults and old
// profiles are the records' own, tested natively); the edits below change all but one.
std::vector<Setting> Settings() {
    const int key = Account::s_PasswordKey;
    return {
        {"Notification", "CheckMailOnStartup", "0", "1"},
        {"Notification", "UseDefaultSound", "0", "1"},
        {"Notification", "UseDefaultEmail", "0", "0"},
        {"Notification", "NotificationSoundFile", "C:\\bell.wav", "D:\\ding.wav"},
        {"Notification", "EmailClient", "C:\\mail\\reader.exe", "D:\\mua.exe"},
        {"Notification", "Interval", "17", "45"},
        {"Notification", "ShowNotice", "0", "1"},
        {"MailSettings", "Mail server", "pop.example.org", "mail.example.net"},
        {"MailSettings", "User name", "ada", "grace"},
        {"MailSettings", "RegKey", Account::Scramble("s3cret", key),
         Account::Scramble("P@ss word!", key)},
        {"MailSettings", "Summarysize", "12", "20"},
        {"MailSettings", "Summaries", "0", "1"},
        {"MailSettings", "Security", "starttls", "tls"},
        {"MailSettings", "LoginMethod", "encrypted", "normal"},
        // Not on any page: kept as it was.
        {"MailSettings", "TrustedCertificate", std::string(32, 'A'), std::string(32, 'A')},
    };
}

void Edit(const CConfDialog& sheet) {
    HWND page = CurrentPage(sheet);
    SetItemText(page, IDC_MAIL_SERVER, "mail.example.net");
    SetItemText(page, IDC_USER_NAME, "grace");
    SetItemText(page, IDC_PASSWORD, "P@ss word!");
    ::SendDlgItemMessageA(page, IDC_SECURITY, CB_SETCURSEL, 2, 0);
    ::SendDlgItemMessageA(page, IDC_LOGIN_METHOD, CB_SETCURSEL, 0, 0);
    page = ShowPage(sheet, kGeneralPage);
    Click(page, IDC_CHECK_ON_STARTUP);
    Click(page, IDC_SUMMARIES);
    SetItemText(page, IDC_SUMMARY_SIZE, "20");
    SetItemText(page, IDC_INTERVAL, "45");
    SetItemText(page, IDC_EMAIL_CLIENT, "D:\\mua.exe");
    page = ShowPage(sheet, kNotificationPage);
    SetItemText(page, IDC_SOUND_FILE, "D:\\ding.wav");
    Click(page, IDC_SHOW_NOTICE);
    Click(page, IDC_DEFAULT_SOUND);
}

// OK writes back every value, shown or not, and ends the first run; Cancel saves nothing.
// Either way the owner gets the sheet's records with fresh check results.
TEST_F(ConfigSheet, OkWritesEveryValueBackAndCancelSavesNothing) {
    const struct {
        bool edit;
        int button;
        std::string Setting::*expected;
    } cases[] = {{false, IDOK, &Setting::stored},
                 {true, IDCANCEL, &Setting::stored},
                 {true, IDOK, &Setting::edited}};
    Profile& profile = Profile::Application();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.edit << c.button);
        for (const Setting& setting : Settings())
            profile.WriteString(setting.section, setting.key, setting.stored);
        profile.WriteInt("Notification", "FirstTime", 1);
        CConfDialog sheet("Configuration");
        auto step = [&] {
            HWND mail = CurrentPage(sheet);
            EXPECT_NE(0, ::SendDlgItemMessageA(mail, IDC_PASSWORD, EM_GETPASSWORDCHAR, 0, 0));
            EXPECT_EQ("s3cret", ItemText(mail, IDC_PASSWORD));
            EXPECT_EQ("pop.example.org", ItemText(mail, IDC_MAIL_SERVER));
            EXPECT_EQ(1, ::SendDlgItemMessageA(mail, IDC_SECURITY, CB_GETCURSEL, 0, 0));
            EXPECT_EQ(1, ::SendDlgItemMessageA(mail, IDC_LOGIN_METHOD, CB_GETCURSEL, 0, 0));
            if (c.edit)
                Edit(sheet);
            Click(sheet, c.button);
        };
        const bool ok = c.button == IDOK;
        EXPECT_EQ(c.button, RunModal(sheet, {step}));
        if (ok)
            sheet.ApplyChanges();

        // Read back with a default the program never uses: every key must be in the file.
        // Saving replaces the scrambled password by the protected one.
        for (const Setting& setting : Settings())
            EXPECT_EQ(ok && std::strcmp(setting.key, "RegKey") == 0 ? "" : setting.*c.expected,
                      profile.GetString(setting.section, setting.key, "?"))
                << setting.key;
        EXPECT_EQ(ok ? "0" : "1", profile.GetString("Notification", "FirstTime", "?"));
        const Account account = sheet.GetAccount();
        EXPECT_EQ(ok && c.edit ? "P@ss word!" : "s3cret", account.m_Password);
        Account stored;
        stored.Load();
        EXPECT_EQ(account.m_Password, stored.m_Password);
        EXPECT_EQ(std::make_tuple(0, Account::ListRebuilt, std::string()),
                  std::make_tuple(account.m_MessageCount, account.m_Status, account.m_LastError));
        EXPECT_EQ(ok && c.edit ? 45 : 17, sheet.GetConfiguration().m_Interval);
        EXPECT_EQ(1, sheet.GetConfiguration().m_FirstTime);
    }
    EXPECT_TRUE(m_boxes.m_boxes.empty());
}

// Summaries off, the default e-mail program and a sound file of the user's. The choosers
// put every field back into the page, replacing what was typed since it was last taken.
TEST_F(ConfigSheet, EnableRulesAndFileChoosersFollowTheBoxes) {
    Profile::Application().WriteInt("MailSettings", "Summaries", 0);
    Profile::Application().WriteInt("Notification", "UseDefaultEmail", 1);
    Profile::Application().WriteInt("Notification", "UseDefaultSound", 0);
    CConfDialog sheet("Configuration");
    std::string requests;
    std::optional<std::string> answer; // none: the user cancels
    CFileDialog::ScopedAnswer chooser([&](const OPENFILENAMEA& request) {
        EXPECT_EQ(CurrentPage(sheet), request.hwndOwner);
        requests += std::string(request.lpstrDefExt) + " ";
        return answer;
    });
    auto step = [&] {
        HWND page = ShowPage(sheet, kGeneralPage);
        EXPECT_FALSE(Enabled(page, IDC_SUMMARY_SIZE));
        EXPECT_FALSE(Enabled(page, IDC_EMAIL_CLIENT) || Enabled(page, IDC_BROWSE_EMAIL_CLIENT));
        Click(page, IDC_SUMMARIES);
        EXPECT_TRUE(Enabled(page, IDC_SUMMARY_SIZE));
        Click(page, IDC_USE_DEFAULT_EMAIL);
        EXPECT_TRUE(Enabled(page, IDC_EMAIL_CLIENT) && Enabled(page, IDC_BROWSE_EMAIL_CLIENT));
        Click(page, IDC_SUMMARIES);
        EXPECT_FALSE(Enabled(page, IDC_SUMMARY_SIZE));

        SetItemText(page, IDC_INTERVAL, "42");
        Click(page, IDC_BROWSE_EMAIL_CLIENT);
        EXPECT_EQ("42", ItemText(page, IDC_INTERVAL)) << "a cancelled choice changes nothing";
        answer = "C:\\Programs\\mua.exe";
        Click(page, IDC_BROWSE_EMAIL_CLIENT);
        EXPECT_EQ("5", ItemText(page, IDC_INTERVAL));
        EXPECT_EQ(*answer, ItemText(page, IDC_EMAIL_CLIENT));

        // Disabled in the template: the rule must enable them.
        page = ShowPage(sheet, kNotificationPage);
        EXPECT_TRUE(Enabled(page, IDC_SOUND_FILE) && Enabled(page, IDC_BROWSE_SOUND));
        answer = "C:\\Media\\ping.wav";
        Click(page, IDC_BROWSE_SOUND);
        EXPECT_EQ(*answer, ItemText(page, IDC_SOUND_FILE));
        Click(page, IDC_DEFAULT_SOUND);
        EXPECT_FALSE(Enabled(page, IDC_SOUND_FILE) || Enabled(page, IDC_BROWSE_SOUND));
        Click(sheet, IDCANCEL);
    };
    EXPECT_EQ(IDCANCEL, RunModal(sheet, {step}));
    EXPECT_TRUE(m_boxes.m_boxes.empty());
    EXPECT_EQ("exe exe wav ", requests);
}

// Interval 3..999 and summary length 0..999, checked as the page opens (once per enable
// rule), when it is left and on OK; an exchange stops at its first refusal.
TEST_F(ConfigSheet, RangesAreCheckedWhenThePageOpensIsLeftAndOnOk) {
    Profile::Application().WriteInt("Notification", "Interval", 2);
    const std::vector<MessageBoxRecorder::Box>& boxes = m_boxes.m_boxes;
    CConfDialog sheet("Configuration");
    HWND general = nullptr;
    auto refused = [&](int id, const char* text, const char* message) {
        const size_t before = boxes.size();
        SetItemText(general, id, text);
        EXPECT_EQ(general, ShowPage(sheet, kMailPage)) << text;
        ASSERT_EQ(before + 1, boxes.size()) << text;
        EXPECT_NE(std::string::npos, boxes.back().text.find(message)) << text;
    };
    auto open = [&] {
        general = ShowPage(sheet, kGeneralPage);
        ASSERT_EQ(2u, boxes.size());
        refused(IDC_SUMMARY_SIZE, "1000", "between 0 and 999");
        EXPECT_EQ(IDC_SUMMARY_SIZE, ::GetDlgCtrlID(::GetFocus()));
        refused(IDC_SUMMARY_SIZE, "0", "between 3 and 999");
        EXPECT_EQ(IDC_INTERVAL, ::GetDlgCtrlID(::GetFocus()));
        SetItemText(general, IDC_INTERVAL, "1000");
        Click(sheet, IDOK);
    };
    auto refusedOk = [&] {
        EXPECT_EQ(general, CurrentPage(sheet)) << "the sheet stays open";
        SetItemText(general, IDC_INTERVAL, "3");
        EXPECT_NE(general, ShowPage(sheet, kNotificationPage));
        SetItemText(ShowPage(sheet, kGeneralPage), IDC_INTERVAL, "999");
        Click(sheet, IDOK);
    };
    EXPECT_EQ(IDOK, RunModal(sheet, {open, refusedOk}));
    sheet.ApplyChanges();
    EXPECT_EQ(5u, boxes.size());
    EXPECT_EQ(999, Profile::Application().GetInt("Notification", "Interval", 0));
    EXPECT_EQ(0, Profile::Application().GetInt("MailSettings", "Summarysize", 8));
}

TEST_F(ConfigSheet, AnEmptyProgramPathIsRefusedWhileTheDefaultProgramIsUnticked) {
    const std::vector<MessageBoxRecorder::Box>& boxes = m_boxes.m_boxes;
    CConfDialog sheet("Configuration");
    HWND general = nullptr;
    auto untick = [&] {
        general = ShowPage(sheet, kGeneralPage);
        Click(general, IDC_USE_DEFAULT_EMAIL);
        EXPECT_TRUE(boxes.empty()) << "unticking is no mistake until the page is left";
        EXPECT_EQ(general, ShowPage(sheet, kMailPage));
        ASSERT_EQ(1u, boxes.size());
        EXPECT_NE(std::string::npos, boxes[0].text.find("\"Use default Email program\""));
        EXPECT_EQ(IDC_EMAIL_CLIENT, ::GetDlgCtrlID(::GetFocus()));
        SetItemText(general, IDC_EMAIL_CLIENT, "  ");
        Click(sheet, IDOK);
    };
    auto fill = [&] {
        EXPECT_EQ(general, CurrentPage(sheet)) << "OK with blanks only was taken";
        EXPECT_EQ(2u, boxes.size());
        SetItemText(general, IDC_EMAIL_CLIENT, "C:\\mail\\reader.exe");
        Click(sheet, IDOK);
    };
    EXPECT_EQ(IDOK, RunModal(sheet, {untick, fill}));
    sheet.ApplyChanges();
    EXPECT_EQ(0, Profile::Application().GetInt("Notification", "UseDefaultEmail", 1));
    EXPECT_EQ("C:\\mail\\reader.exe",
              Profile::Application().GetString("Notification", "EmailClient"));
}

} // namespace
