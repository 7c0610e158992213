#include "config_test_support.h"

#include "framework/file_dialog.h"
#include "res/resource.h"

#include <commdlg.h>

#include <optional>

namespace {

using ConfigPages = ConfigSheetTest;

// The filter list of a file request, "|" between the entries.
std::string FilterOf(const OPENFILENAMEA& request) {
    std::string filter;
    for (const char* entry = request.lpstrFilter; entry != nullptr && *entry != '\0';
         entry += std::string(entry).size() + 1)
        filter += std::string(entry) + "|";
    return filter;
}

TEST_F(ConfigPages, GeneralEnableRulesFollowTheStoredValuesAndTheBoxes) {
    Profile::Application().WriteInt("MailSettings", "Summaries", 0);
    Profile::Application().WriteInt("Notification", "UseDefaultEmail", 1);
    CConfDialog sheet("Configuration", nullptr, 0);
    EXPECT_EQ(IDCANCEL, Run(sheet, {[&] {
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
                                PressCancel(sheet);
                                return true;
                            }}));

    Profile::Application().WriteInt("MailSettings", "Summaries", 1);
    Profile::Application().WriteInt("Notification", "UseDefaultEmail", 0);
    CConfDialog other("Configuration", nullptr, 1);
    EXPECT_EQ(IDCANCEL, Run(other, {[&] {
                                HWND page = Page(other);
                                EXPECT_TRUE(ItemEnabled(page, IDC_SUMMARY_SIZE));
                                EXPECT_TRUE(ItemEnabled(page, IDC_EMAIL_CLIENT));
                                EXPECT_TRUE(ItemEnabled(page, IDC_BROWSE_EMAIL_CLIENT));
                                Click(page, IDC_USE_DEFAULT_EMAIL);
                                EXPECT_FALSE(ItemEnabled(page, IDC_EMAIL_CLIENT));
                                EXPECT_FALSE(ItemEnabled(page, IDC_BROWSE_EMAIL_CLIENT));
                                PressCancel(other);
                                return true;
                            }}));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ConfigPages, NotificationEnableRuleFollowsTheStoredValueAndTheBox) {
    Profile::Application().WriteInt("Notification", "UseDefaultSound", 0);
    CConfDialog sheet("Configuration", nullptr, 0);
    EXPECT_EQ(IDCANCEL, Run(sheet, {[&] {
                                HWND page = ShowPage(sheet, kNotificationPage);
                                EXPECT_TRUE(ItemEnabled(page, IDC_SOUND_FILE));
                                EXPECT_TRUE(ItemEnabled(page, IDC_BROWSE_SOUND));
                                Click(page, IDC_DEFAULT_SOUND);
                                EXPECT_FALSE(ItemEnabled(page, IDC_SOUND_FILE));
                                EXPECT_FALSE(ItemEnabled(page, IDC_BROWSE_SOUND));
                                PressCancel(sheet);
                                return true;
                            }}));

    Profile::Application().WriteInt("Notification", "UseDefaultSound", 1);
    CConfDialog other("Configuration", nullptr, 2);
    EXPECT_EQ(IDCANCEL, Run(other, {[&] {
                                HWND page = Page(other);
                                EXPECT_FALSE(ItemEnabled(page, IDC_SOUND_FILE));
                                EXPECT_FALSE(ItemEnabled(page, IDC_BROWSE_SOUND));
                                Click(page, IDC_DEFAULT_SOUND);
                                EXPECT_TRUE(ItemEnabled(page, IDC_SOUND_FILE));
                                EXPECT_TRUE(ItemEnabled(page, IDC_BROWSE_SOUND));
                                PressCancel(other);
                                return true;
                            }}));
}

TEST_F(ConfigPages, IntervalOutsideThreeTo999IsRefusedWhenLeavingAndOnOk) {
    CConfDialog sheet("Configuration", nullptr, 0);
    HWND general = nullptr;
    EXPECT_EQ(IDOK, Run(sheet, {[&] {
                                    general = ShowPage(sheet, kGeneralPage);
                                    SetItemText(general, IDC_INTERVAL, "2");
                                    EXPECT_EQ(general, ShowPage(sheet, kMailPage));
                                    EXPECT_EQ(1u, m_boxes.Boxes().size());
                                    EXPECT_EQ(IDC_INTERVAL, ::GetDlgCtrlID(::GetFocus()));
                                    return true;
                                },
                                [&] {
                                    SetItemText(general, IDC_INTERVAL, "1000");
                                    PressOk(sheet);
                                    return true;
                                },
                                [&] {
                                    EXPECT_EQ(general, Page(sheet)) << "the sheet stays open";
                                    EXPECT_EQ(2u, m_boxes.Boxes().size());
                                    SetItemText(general, IDC_INTERVAL, "3");
                                    EXPECT_NE(general, ShowPage(sheet, kNotificationPage));
                                    EXPECT_EQ(2u, m_boxes.Boxes().size());
                                    ShowPage(sheet, kGeneralPage);
                                    SetItemText(general, IDC_INTERVAL, "999");
                                    // The summary length allows 0.
                                    SetItemText(general, IDC_SUMMARY_SIZE, "0");
                                    PressOk(sheet);
                                    return true;
                                }}));
    sheet.ApplyChanges();

    ASSERT_EQ(2u, m_boxes.Boxes().size());
    for (const MessageBoxRecorder::Box& box : m_boxes.Boxes())
        EXPECT_NE(std::string::npos, box.text.find("between 3 and 999")) << box.text;
    CConfiguration configuration;
    configuration.Load();
    EXPECT_EQ(999, configuration.m_Interval);
    Account account;
    account.Load();
    EXPECT_EQ(0, account.m_SummarySize);
}

TEST_F(ConfigPages, SummaryLengthAbove999OrNotANumberIsRefused) {
    CConfDialog sheet("Configuration", nullptr, 1);
    EXPECT_EQ(IDCANCEL, Run(sheet, {[&] {
                                HWND general = Page(sheet);
                                SetItemText(general, IDC_SUMMARY_SIZE, "1000");
                                EXPECT_EQ(general, ShowPage(sheet, kMailPage));
                                EXPECT_EQ(IDC_SUMMARY_SIZE, ::GetDlgCtrlID(::GetFocus()));
                                SetItemText(general, IDC_SUMMARY_SIZE, "eight");
                                EXPECT_EQ(general, ShowPage(sheet, kMailPage));
                                PressCancel(sheet);
                                return true;
                            }}));
    ASSERT_EQ(2u, m_boxes.Boxes().size());
    EXPECT_NE(std::string::npos, m_boxes.Boxes()[0].text.find("between 0 and 999"));
    EXPECT_EQ("Please enter an integer.", m_boxes.Boxes()[1].text);
}

TEST_F(ConfigPages, StoredIntervalOutOfRangeIsReportedOnceForEachEnableRule) {
    Profile::Application().WriteInt("Notification", "Interval", 2);
    CConfDialog sheet("Configuration", nullptr, 0);
    size_t boxesOnOpen = 0;
    EXPECT_EQ(IDCANCEL, Run(sheet, {[&] {
                                ShowPage(sheet, kGeneralPage);
                                boxesOnOpen = m_boxes.Boxes().size();
                                PressCancel(sheet);
                                return true;
                            }}));
    EXPECT_EQ(2u, boxesOnOpen);
}

TEST_F(ConfigPages, EmailClientChooserFillsThePathAndPutsThePageValuesBack) {
    Profile::Application().WriteInt("Notification", "UseDefaultEmail", 0);
    CConfDialog sheet("Configuration", nullptr, 0);
    // The request's strings live only during the call: copied out there.
    std::vector<OPENFILENAMEA> requests;
    std::string filter, defaultExt;
    std::optional<std::string> answer;
    CFileDialog::ScopedAnswer chooser([&](const OPENFILENAMEA& request) {
        requests.push_back(request);
        filter = FilterOf(request);
        defaultExt = request.lpstrDefExt != nullptr ? request.lpstrDefExt : "";
        return answer;
    });
    HWND general = nullptr;
    std::string afterCancel, intervalAfterChoice, pathAfterChoice;
    EXPECT_EQ(IDOK, Run(sheet, {[&] {
                            general = ShowPage(sheet, kGeneralPage);
                            SetItemText(general, IDC_INTERVAL, "42");
                            answer.reset();
                            Click(general, IDC_BROWSE_EMAIL_CLIENT);
                            afterCancel = ItemText(general, IDC_INTERVAL);
                            answer = "C:\\Programs\\Mail\\mua.exe";
                            Click(general, IDC_BROWSE_EMAIL_CLIENT);
                            intervalAfterChoice = ItemText(general, IDC_INTERVAL);
                            pathAfterChoice = ItemText(general, IDC_EMAIL_CLIENT);
                            PressOk(sheet);
                            return true;
                        }}));
    sheet.ApplyChanges();

    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(general, requests[0].hwndOwner);
    EXPECT_EQ(static_cast<DWORD>(OFN_HIDEREADONLY | OFN_FILEMUSTEXIST), requests[0].Flags);
    EXPECT_EQ("exe", defaultExt);
    EXPECT_EQ("Program Files (*.exe)|*.exe|All Files (*.*)|*.*|", filter);
    EXPECT_EQ("42", afterCancel) << "a cancelled choice changes nothing";
    EXPECT_EQ("5", intervalAfterChoice) << "the field's value replaces the typed one";
    EXPECT_EQ("C:\\Programs\\Mail\\mua.exe", pathAfterChoice);
    CConfiguration configuration;
    configuration.Load();
    EXPECT_EQ("C:\\Programs\\Mail\\mua.exe", configuration.m_EmailClient);
    EXPECT_EQ(5, configuration.m_Interval);
}

TEST_F(ConfigPages, SoundChooserFillsThePath) {
    Profile::Application().WriteInt("Notification", "UseDefaultSound", 0);
    CConfDialog sheet("Configuration", nullptr, 2);
    std::string filter;
    DWORD flags = 0;
    std::string defaultExt;
    CFileDialog::ScopedAnswer chooser([&](const OPENFILENAMEA& request) {
        filter = FilterOf(request);
        flags = request.Flags;
        defaultExt = request.lpstrDefExt != nullptr ? request.lpstrDefExt : "";
        return std::optional<std::string>("C:\\Media\\ping.wav");
    });
    std::string shown;
    EXPECT_EQ(IDOK, Run(sheet, {[&] {
                            HWND page = Page(sheet);
                            Click(page, IDC_BROWSE_SOUND);
                            shown = ItemText(page, IDC_SOUND_FILE);
                            PressOk(sheet);
                            return true;
                        }}));
    sheet.ApplyChanges();

    EXPECT_EQ("Sounds Files (*.wav)|*.wav|All Files (*.*)|*.*|", filter);
    EXPECT_EQ(static_cast<DWORD>(OFN_HIDEREADONLY | OFN_FILEMUSTEXIST), flags);
    EXPECT_EQ("wav", defaultExt);
    EXPECT_EQ("C:\\Media\\ping.wav", shown);
    CConfiguration configuration;
    configuration.Load();
    EXPECT_EQ("C:\\Media\\ping.wav", configuration.m_NotificationSoundFile);
    EXPECT_EQ(0, configuration.m_UseDefaultSound);
}

} // namespace
