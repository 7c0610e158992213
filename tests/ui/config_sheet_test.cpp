#include "config/conf_dialog.h"
#include "framework/file_dialog.h"
#include "framework_test_support.h"
#include "res/resource.h"
#include "settings/profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace {

enum { kMailPage, kGeneralPage, kNotificationPage };

class ConfigSheet : public ::testing::Test {
protected:
    TempProfile m_profile;
    MessageBoxRecorder m_boxes;
};

struct Setting {
    const char* section;
    const char* key;
    std::string byDefault, stored, edited;
};

// Every value the sheet shows as the profile holds it: stored values are no defaults, and
// the edits below change all but one.
std::vector<Setting> Settings() {
    const int key = Account::s_PasswordKey;
    return {
        {"Notification", "CheckMailOnStartup", "1", "0", "1"},
        {"Notification", "UseDefaultSound", "1", "0", "1"},
        {"Notification", "UseDefaultEmail", "1", "0", "0"},
        {"Notification", "NotificationSoundFile", "GotMail.wav", "C:\\bell.wav", "D:\\ding.wav"},
        {"Notification", "EmailClient", "", "C:\\mail\\reader.exe", "D:\\mua.exe"},
        {"Notification", "Interval", "5", "17", "45"},
        {"MailSettings", "Mail server", "", "pop.example.org", "mail.example.net"},
        {"MailSettings", "User name", "", "ada", "grace"},
        {"MailSettings", "RegKey", "", Account::Scramble("s3cret", key),
         Account::Scramble("P@ss word!", key)},
        {"MailSettings", "Summarysize", "8", "12", "20"},
        {"MailSettings", "Summaries", "1", "0", "1"},
    };
}

void Edit(const CConfDialog& sheet) {
    HWND page = CurrentPage(sheet);
    SetItemText(page, IDC_MAIL_SERVER, "mail.example.net");
    SetItemText(page, IDC_USER_NAME, "grace");
    SetItemText(page, IDC_PASSWORD, "P@ss word!");
    page = ShowPage(sheet, kGeneralPage);
    Click(page, IDC_CHECK_ON_STARTUP);
    Click(page, IDC_SUMMARIES);
    SetItemText(page, IDC_SUMMARY_SIZE, "20");
    SetItemText(page, IDC_INTERVAL, "45");
    SetItemText(page, IDC_EMAIL_CLIENT, "D:\\mua.exe");
    page = ShowPage(sheet, kNotificationPage);
    SetItemText(page, IDC_SOUND_FILE, "D:\\ding.wav");
    Click(page, IDC_DEFAULT_SOUND);
}

std::string TabTitles(HWND sheet) {
    HWND tab = PropSheet_GetTabControl(sheet);
    char text[64] = {};
    TCITEMA item = {TCIF_TEXT, 0, 0, text, sizeof(text)};
    std::string titles;
    for (int i = 0; i < TabCtrl_GetItemCount(tab); ++i) {
        ::SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        titles += std::string(text) + "|";
    }
    return titles;
}

// OK writes back every value, shown or not, and ends the first run; Cancel saves nothing.
// Either way the owner gets the sheet's records with fresh check results.
TEST_F(ConfigSheet, OkWritesEveryValueBackAndCancelSavesNothing) {
    const struct {
        bool seed, edit;
        int button;
        std::string Setting::*expected;
    } cases[] = {{false, false, IDOK, &Setting::byDefault},
                 {true, false, IDOK, &Setting::stored},
                 {true, true, IDCANCEL, &Setting::stored},
                 {true, true, IDOK, &Setting::edited}};
    Profile& profile = Profile::Application();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.seed << c.edit << c.button);
        if (c.seed) {
            for (const Setting& setting : Settings())
                profile.WriteString(setting.section, setting.key, setting.stored);
            profile.WriteInt("Notification", "FirstTime", 1);
        }
        const std::string before = m_profile.Contents();
        CConfDialog sheet("Configuration");
        auto step = [&] {
            EXPECT_EQ("Configuration", sheet.GetWindowText());
            EXPECT_EQ("Server Settiings|General|Notification|", TabTitles(sheet));
            HWND mail = CurrentPage(sheet);
            HWND password = ::GetDlgItem(mail, IDC_PASSWORD);
            EXPECT_TRUE(::GetWindowLongA(password, GWL_STYLE) & ES_PASSWORD);
            EXPECT_NE(0, ::SendMessageA(password, EM_GETPASSWORDCHAR, 0, 0));
            EXPECT_EQ(c.seed ? "s3cret" : "", ItemText(mail, IDC_PASSWORD));
            EXPECT_EQ(c.seed ? "pop.example.org" : "", ItemText(mail, IDC_MAIL_SERVER));
            if (c.edit)
                Edit(sheet);
            Click(sheet, c.button);
        };
        const bool ok = c.button == IDOK;
        EXPECT_EQ(c.button, RunModal(sheet, {step}));
        if (ok)
            sheet.ApplyChanges();
        else
            EXPECT_EQ(before, m_profile.Contents());

        // Read back with a default the program never uses: every key must be in the file.
        for (const Setting& setting : Settings())
            EXPECT_EQ(setting.*c.expected, profile.GetString(setting.section, setting.key, "?"))
                << setting.key;
        EXPECT_EQ(ok ? "0" : "1", profile.GetString("Notification", "FirstTime", "?"));
        const Account account = sheet.GetAccount();
        EXPECT_EQ(ok && c.edit ? "P@ss word!" : c.seed ? "s3cret" : "", account.m_Password);
        EXPECT_EQ(0, account.m_MessageCount);
        EXPECT_EQ(Account::ListRebuilt, account.m_Status);
        EXPECT_EQ("", account.m_LastError);
        EXPECT_EQ(ok && c.edit ? 45 : c.seed ? 17 : 5, sheet.GetConfiguration().m_Interval);
        EXPECT_EQ(1, sheet.GetConfiguration().m_FirstTime);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// Summaries off, the default e-mail program and a sound file of the user's.
TEST_F(ConfigSheet, EnableRulesFollowTheStoredValuesAndTheBoxes) {
    Profile::Application().WriteInt("MailSettings", "Summaries", 0);
    Profile::Application().WriteInt("Notification", "UseDefaultEmail", 1);
    Profile::Application().WriteInt("Notification", "UseDefaultSound", 0);
    CConfDialog sheet("Configuration");
    auto step = [&] {
        HWND page = ShowPage(sheet, kGeneralPage);
        EXPECT_FALSE(ItemEnabled(page, IDC_SUMMARY_SIZE));
        EXPECT_FALSE(ItemEnabled(page, IDC_EMAIL_CLIENT));
        EXPECT_FALSE(ItemEnabled(page, IDC_BROWSE_EMAIL_CLIENT));
        Click(page, IDC_SUMMARIES);
        EXPECT_TRUE(ItemEnabled(page, IDC_SUMMARY_SIZE));
        EXPECT_FALSE(ItemEnabled(page, IDC_EMAIL_CLIENT));
        Click(page, IDC_USE_DEFAULT_EMAIL);
        EXPECT_TRUE(ItemEnabled(page, IDC_EMAIL_CLIENT));
        EXPECT_TRUE(ItemEnabled(page, IDC_BROWSE_EMAIL_CLIENT));
        Click(page, IDC_SUMMARIES);
        EXPECT_FALSE(ItemEnabled(page, IDC_SUMMARY_SIZE));
        // Disabled in the template: the rule must enable them.
        page = ShowPage(sheet, kNotificationPage);
        EXPECT_TRUE(ItemEnabled(page, IDC_SOUND_FILE));
        EXPECT_TRUE(ItemEnabled(page, IDC_BROWSE_SOUND));
        Click(page, IDC_DEFAULT_SOUND);
        EXPECT_FALSE(ItemEnabled(page, IDC_SOUND_FILE));
        EXPECT_FALSE(ItemEnabled(page, IDC_BROWSE_SOUND));
        Click(sheet, IDCANCEL);
    };
    EXPECT_EQ(IDCANCEL, RunModal(sheet, {step}));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// Interval 3..999 and summary length 0..999, checked as the page opens (once per enable
// rule), when it is left and on OK; an exchange stops at its first refusal.
TEST_F(ConfigSheet, RangesAreCheckedWhenThePageOpensIsLeftAndOnOk) {
    Profile::Application().WriteInt("Notification", "Interval", 2);
    CConfDialog sheet("Configuration");
    HWND general = nullptr;
    auto refused = [&](int id, const char* text, const char* message) {
        const size_t boxes = m_boxes.Boxes().size();
        SetItemText(general, id, text);
        EXPECT_EQ(general, ShowPage(sheet, kMailPage)) << text;
        ASSERT_EQ(boxes + 1, m_boxes.Boxes().size()) << text;
        EXPECT_NE(std::string::npos, m_boxes.Boxes().back().text.find(message)) << text;
    };
    auto open = [&] {
        general = ShowPage(sheet, kGeneralPage);
        ASSERT_EQ(2u, m_boxes.Boxes().size());
        refused(IDC_SUMMARY_SIZE, "1000", "between 0 and 999");
        EXPECT_EQ(IDC_SUMMARY_SIZE, ::GetDlgCtrlID(::GetFocus()));
        refused(IDC_SUMMARY_SIZE, "eight", "Please enter an integer.");
        refused(IDC_SUMMARY_SIZE, "0", "between 3 and 999");
        EXPECT_EQ(IDC_INTERVAL, ::GetDlgCtrlID(::GetFocus()));
        SetItemText(general, IDC_INTERVAL, "1000");
        Click(sheet, IDOK);
    };
    auto refusedOk = [&] {
        EXPECT_EQ(general, CurrentPage(sheet)) << "the sheet stays open";
        EXPECT_EQ(6u, m_boxes.Boxes().size());
        SetItemText(general, IDC_INTERVAL, "3");
        EXPECT_NE(general, ShowPage(sheet, kNotificationPage));
        SetItemText(ShowPage(sheet, kGeneralPage), IDC_INTERVAL, "999");
        Click(sheet, IDOK);
    };
    EXPECT_EQ(IDOK, RunModal(sheet, {open, refusedOk}));
    sheet.ApplyChanges();

    EXPECT_EQ(6u, m_boxes.Boxes().size());
    EXPECT_EQ(999, Profile::Application().GetInt("Notification", "Interval", 0));
    EXPECT_EQ(0, Profile::Application().GetInt("MailSettings", "Summarysize", 8));
}

TEST_F(ConfigSheet, FileChoosersFillThePathAndPutThePageValuesBack) {
    Profile::Application().WriteInt("Notification", "UseDefaultEmail", 0);
    Profile::Application().WriteInt("Notification", "UseDefaultSound", 0);
    CConfDialog sheet("Configuration", nullptr, kGeneralPage);
    std::vector<std::string> requests;
    std::optional<std::string> answer;
    CFileDialog::ScopedAnswer chooser([&](const OPENFILENAMEA& request) {
        // The request's strings live only during the call.
        std::string seen = std::to_string(request.Flags) + " " + request.lpstrDefExt + " ";
        for (const char* entry = request.lpstrFilter; *entry != '\0'; entry += strlen(entry) + 1)
            seen += std::string(entry) + "|";
        requests.push_back(seen);
        EXPECT_EQ(CurrentPage(sheet), request.hwndOwner);
        return answer;
    });
    auto choose = [&] {
        HWND page = CurrentPage(sheet);
        SetItemText(page, IDC_INTERVAL, "42");
        Click(page, IDC_BROWSE_EMAIL_CLIENT);
        EXPECT_EQ("42", ItemText(page, IDC_INTERVAL)) << "a cancelled choice changes nothing";
        answer = "C:\\Programs\\mua.exe";
        Click(page, IDC_BROWSE_EMAIL_CLIENT);
        EXPECT_EQ("5", ItemText(page, IDC_INTERVAL)) << "the field replaces the typed value";
        EXPECT_EQ("C:\\Programs\\mua.exe", ItemText(page, IDC_EMAIL_CLIENT));
        page = ShowPage(sheet, kNotificationPage);
        answer = "C:\\Media\\ping.wav";
        Click(page, IDC_BROWSE_SOUND);
        EXPECT_EQ("C:\\Media\\ping.wav", ItemText(page, IDC_SOUND_FILE));
        Click(sheet, IDCANCEL);
    };
    EXPECT_EQ(IDCANCEL, RunModal(sheet, {choose}));

    // 4100: OFN_HIDEREADONLY | OFN_FILEMUSTEXIST.
    const std::string program = "4100 exe Program Files (*.exe)|*.exe|All Files (*.*)|*.*|";
    const std::string sound = "4100 wav Sounds Files (*.wav)|*.wav|All Files (*.*)|*.*|";
    EXPECT_EQ((std::vector<std::string>{program, program, sound}), requests);
}

} // namespace
