// The real main dialog against the scripted POP3 server, with Wine's tray (under Xvfb).
#include "main_window_harness.h"

#include "app/tarnwick_app.h"
#include "framework/handles.h"
#include "mainwnd/show_dialog.h"
#include "mainwnd/window_messages.h"
#include "pop3/messages.h"
#include "res/resource.h"
#include "settings/profile.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstdlib>

namespace {

const char kFailureTail[] = "\n\nTarnwick will be disabled.\nYou can enable it by right clicking "
                            "on the Tarnwick icon on the task bar and selecting 'Enable'.";

struct Balloon {
    std::wstring title, text;
    DWORD flags;
    BOOL shown;
};
std::vector<Balloon>* g_balloons = nullptr;

// Watches the balloons on their way to Wine's notification area.
BOOL WINAPI RecordBalloon(DWORD message, PNOTIFYICONDATAW data) {
    const BOOL shown = ::Shell_NotifyIconW(message, data);
    if (g_balloons != nullptr && message == NIM_MODIFY && (data->uFlags & NIF_INFO) != 0)
        g_balloons->push_back({data->szInfoTitle, data->szInfo, data->dwInfoFlags, shown});
    return shown;
}

void CheckNow(TestDlg& dlg) {
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_TRUE(dlg.WaitIdle());
}

} // namespace

// What the check cycle decides (announcements, retries, boxes) is tested natively; here
// its wiring to the real window, list and tray.
TEST_F(MainWindowTest, ACheckShowsTheBusyDisplayThenTheCountTheRowsAndTheNoticeOfNewMail) {
    auto& three = Serve(MailboxOf(3));
    auto& four = Serve(MailboxOf(4));
    WriteTestProfile(three.Address());
    std::vector<Balloon> balloons;
    g_balloons = &balloons;
    CTrayNotifyIcon::s_ShellNotify = &RecordBalloon;
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.m_trayIcon.IsCreated()) << "needs Wine's tray (a display)";

    Click(dlg, IDC_CHECK_NOW);
    EXPECT_EQ("Checking mail...", dlg.m_trayIcon.GetTipText());
    EXPECT_TRUE(dlg.m_trayIcon.IsAnimated());
    EXPECT_FALSE(::IsWindowEnabled(dlg.GetDlgItem(IDC_CHECK_NOW)));
    for (UINT id : {ID_TRAY_CHECK, ID_TRAY_CONFIGURE, ID_TRAY_DISABLE})
        EXPECT_TRUE(dlg.MenuGrayed(id)) << id;
    EXPECT_FALSE(dlg.MenuGrayed(ID_TRAY_OPEN));
    ASSERT_TRUE(dlg.WaitIdle());
    const std::string three_waiting = "Tarnwick - You have 3 messages waiting.";
    EXPECT_EQ(three_waiting, dlg.GetWindowText());
    EXPECT_EQ(three_waiting, ItemText(dlg, IDC_STATUS_TEXT));
    EXPECT_EQ(three_waiting, dlg.m_trayIcon.GetTipText());
    EXPECT_FALSE(dlg.m_trayIcon.IsAnimated());
    ASSERT_EQ(3, dlg.m_list.GetItemCount());
    EXPECT_EQ((std::vector<std::string>{"Sender 3", "Subject 3", "2"}), dlg.Row(2));
    ASSERT_EQ(1u, m_sounds.size());
    EXPECT_EQ(ProgramFolder() + "\\GotMail.wav", m_sounds[0]);
    EXPECT_TRUE(m_boxes.m_boxes.empty());

    // The check timer's tick reaches the cycle; new mail again, but notices are off.
    dlg.m_config.m_ShowNotice = 0;
    dlg.Mailbox().m_MailServer = four.Address();
    dlg.SendMessage(WM_TIMER, ID_TIMER_CHECK);
    ASSERT_TRUE(dlg.WaitIdle());
    CTrayNotifyIcon::s_ShellNotify = &::Shell_NotifyIconW;
    g_balloons = nullptr;
    EXPECT_EQ(1, four.Connections());
    EXPECT_EQ(2u, m_sounds.size());
    ASSERT_EQ(1u, balloons.size());
    EXPECT_EQ(L"3 messages waiting", balloons[0].title);
    EXPECT_EQ(L"From: Sender 3\nSubject: Subject 3", balloons[0].text);
    EXPECT_EQ(DWORD(NIIF_INFO | NIIF_RESPECT_QUIET_TIME), balloons[0].flags);
    EXPECT_TRUE(balloons[0].shown);

    // A click on the notice opens the window.
    dlg.ShowWindow(SW_HIDE);
    dlg.SendMessage(WM_TRAY_NOTIFY, IDR_TRAY_MENU, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(dlg.IsWindowVisible());
}

// Enable, which checks at once: the certificate's test.
TEST_F(MainWindowTest, AFailedLoginSwitchesCheckingOffWithTheServersWordsInItsBox) {
    auto& server = Serve(MailboxOf(2));
    WriteTestProfile(server.Address(), "wrong");
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(SW_HIDE); // in the tray, where most failures find the user
    // The box's own loop lets a tick and the tray's commands through: none may start work.
    int connectionsUnder = 0;
    std::string tipUnder;
    m_boxes.m_whileOpen = [&](const MessageBoxRecorder::Box&) {
        if (m_boxes.m_boxes.size() > 1)
            return IDOK; // a box that should never have come: counted below
        dlg.PostMessage(WM_TIMER, ID_TIMER_CHECK);
        dlg.Command(ID_TRAY_DISABLE);
        dlg.Command(ID_TRAY_CHECK);
        PumpUntil([] { return false; }, 300);
        connectionsUnder = server.Connections();
        tipUnder = dlg.m_trayIcon.GetTipText();
        return IDOK;
    };
    dlg.Command(ID_TRAY_CHECK);
    ASSERT_TRUE(dlg.WaitIdle());

    ASSERT_EQ(1u, m_boxes.m_boxes.size());
    const auto& box = m_boxes.m_boxes[0];
    EXPECT_EQ(1, connectionsUnder);
    EXPECT_EQ(0u, tipUnder.find("Tarnwick - can't read POP email: ")) << tipUnder;
    // Owned by the hidden window it would have no taskbar button.
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_NE(0u, box.flags & MB_TASKMODAL);
    // The server's own words follow the failure text.
    EXPECT_EQ("Can't read POP email.\n\n" + dlg.Mailbox().m_LastError +
                  "\nThe server said: Authentication failed." + kFailureTail,
              box.text);
    EXPECT_EQ("Tarnwick Error", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.flags & MB_ICONMASK);
    EXPECT_EQ("&Enable", ItemText(dlg, IDC_ENABLE));
    EXPECT_EQ("&Enable", dlg.m_trayMenu.GetMenuString(ID_TRAY_DISABLE));
    EXPECT_EQ("Tarnwick - disabled", dlg.m_trayIcon.GetTipText());
    EXPECT_TRUE(dlg.MenuGrayed(ID_TRAY_CHECK));
}

// tools/test.sh names the address of a Dovecot's implicit TLS listener that serves a
// self-signed certificate.
TEST_F(MainWindowTest, ARefusedCertificateCanBeTrustedFromTheFailureBoxThenTheTipSaysSecure) {
    const char* dovecot = std::getenv("TARNWICK_DOVECOT_SELF_SIGNED");
    if (dovecot == nullptr)
        GTEST_SKIP() << "TARNWICK_DOVECOT_SELF_SIGNED does not name a Dovecot";
    WriteTestProfile(dovecot, "secret", "test");
    Profile& profile = Profile::Application();
    profile.WriteString("MailSettings", "Security", "tls");
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    m_boxes.m_answer = IDNO; // the usual failure: checking off, nothing trusted
    CheckNow(dlg);
    ASSERT_EQ(2u, m_boxes.m_boxes.size());
    const auto question = m_boxes.m_boxes[0];
    EXPECT_EQ("Tarnwick - Confirmation", question.caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2),
              question.flags & (MB_TYPEMASK | MB_DEFMASK));
    const std::string fingerprint = dlg.Mailbox().GetServerFingerprint();
    EXPECT_NE(std::string::npos,
              question.text.find("not trusted (self-signed). SHA-256 fingerprint: " + fingerprint));
    EXPECT_EQ("Tarnwick Error", m_boxes.m_boxes[1].caption);
    EXPECT_EQ("", profile.GetString("MailSettings", "TrustedCertificate"));

    m_boxes.m_answer = IDYES;     // trusted, stored and checked again at once
    dlg.Command(ID_TRAY_DISABLE); // Enable checks at once
    EXPECT_EQ("&Disable", ItemText(dlg, IDC_ENABLE));
    ASSERT_TRUE(dlg.WaitIdle());
    EXPECT_FALSE(dlg.MenuGrayed(ID_TRAY_CHECK));
    EXPECT_EQ(3u, m_boxes.m_boxes.size());
    EXPECT_EQ(fingerprint, profile.GetString("MailSettings", "TrustedCertificate"));
    EXPECT_EQ(0u, dlg.GetWindowText().find("Tarnwick - You have "));
    EXPECT_EQ(dlg.GetWindowText() + " (secure)", dlg.m_trayIcon.GetTipText());
}

TEST_F(MainWindowTest, AnOlderProfileRunsTheFirstTimeSetupWhoseChoicesTakeEffectAtOnce) {
    auto& server = Serve(MailboxOf(1));
    WriteTestProfile(server.Address());
    Profile& profile = Profile::Application();
    profile.WriteInt("AutoUpdate", "CurrentVersion", 105);
    CTarnwickApp::RunVersionGate();
    EXPECT_EQ(106, profile.GetInt("AutoUpdate", "CurrentVersion", 0));
    EXPECT_EQ(1, profile.GetInt("Notification", "FirstTime", 0));

    SheetAnswer answer([](HWND sheet) { // "check at start-up", confirmed
        PropSheet_SetCurSel(sheet, nullptr, 1);
        ::CheckDlgButton(PropSheet_GetCurrentPageHwnd(sheet), IDC_CHECK_ON_STARTUP, BST_CHECKED);
        PropSheet_PressButton(sheet, PSBTN_OK);
    });
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_FALSE(m_boxes.m_boxes.empty());
    EXPECT_EQ("First Time Usage", m_boxes.m_boxes[0].caption);
    EXPECT_EQ(3, profile.GetInt("AutoUpdate", "Interval", 0));
    const std::string path = profile.GetString("AutoUpdate", "Path");
    EXPECT_EQ("/tarnwick/autoupdate.dat", path.substr(path.find('/', sizeof("http://"))));
    EXPECT_EQ(0, profile.GetInt("Notification", "FirstTime", 1));
    EXPECT_EQ(1, dlg.Busy()) << "the check at start-up chosen in the sheet did not start";
    ASSERT_TRUE(dlg.WaitIdle());
    EXPECT_EQ("Tarnwick - You have 1 messages waiting.", dlg.GetWindowText());
}

namespace {

const std::string kMail = "SOFTWARE\\Clients\\Mail", kOurs = kMail + "\\TarnwickTestMail";

void SetDefault(const std::string& path, const std::string& value) {
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, REG_SZ, value.c_str(),
                                static_cast<DWORD>(value.size() + 1)));
}

// Takes our mail program away again and puts the old default back.
struct SeededMailClient {
    SeededMailClient() {
        CRegKey key;
        hadDefault = key.Open(HKEY_LOCAL_MACHINE, kMail.c_str(), KEY_READ) &&
                     key.QueryString("", &oldDefault);
    }
    ~SeededMailClient() {
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOurs.c_str());
        SetDefault(kMail, hadDefault ? oldDefault : "");
    }
    bool hadDefault = false;
    std::string oldDefault;
};

} // namespace

// The configured command line, started for real: the window never waits test.
TEST_F(MainWindowTest, TheDefaultMailProgramStartsFromTheRegistryOrABoxSaysWhyNot) {
    WriteTestProfile("127.0.0.1:1");
    const SeededMailClient registry;
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    // No default mail program, one named without a command, and one that fails to start:
    // told, not silent.
    const std::string command = kOurs + "\\shell\\open\\command";
    SetDefault(kMail, "");
    Click(dlg, IDC_EMAIL_PROG);
    SetDefault(kMail, "TarnwickTestMail");
    Click(dlg, IDC_EMAIL_PROG);
    SetDefault(command, "\"C:\\Program Files\\Test Mail\\mail.exe\" /compose \"%1\"");
    Click(dlg, IDC_EMAIL_PROG);
    SetDefault(command, "C:\\Mail\\mail.exe -new");
    Click(dlg, IDC_EMAIL_PROG);
    m_launchResult = 2; // the shell's "file not found"
    Click(dlg, IDC_EMAIL_PROG);
    ASSERT_EQ(3u, m_launched.size());
    EXPECT_EQ(LaunchRequest::ShellOpen, m_launched[0].kind);
    EXPECT_EQ("C:\\Program Files\\Test Mail\\mail.exe", m_launched[0].target);
    EXPECT_EQ("C:\\Mail\\mail.exe", m_launched[1].target);
    ASSERT_EQ(3u, m_boxes.m_boxes.size());
    for (const auto& box : m_boxes.m_boxes) {
        EXPECT_EQ("Can't launch default email application", box.text);
        EXPECT_EQ("Tarnwick Error", box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), box.flags & MB_ICONMASK);
    }
}

namespace {

// The list's tip for the cell under the pointer, with the pointer moved to that cell first.
std::wstring TipAt(TestDlg& dlg, int row, int column) {
    POINT middle = dlg.CellCentre(row, column);
    ::ClientToScreen(dlg.m_list, &middle);
    ::SetCursorPos(middle.x, middle.y);
    wchar_t text[256] = L"the row's own text";
    NMLVGETINFOTIPW tip = {};
    tip.hdr = {dlg.m_list, IDC_MESSAGE_LIST, static_cast<UINT>(LVN_GETINFOTIPW)};
    tip.pszText = text;
    tip.cchTextMax = 256;
    tip.iItem = row;
    dlg.SendMessage(WM_NOTIFY, IDC_MESSAGE_LIST, reinterpret_cast<LPARAM>(&tip));
    return text;
}

} // namespace

// Through the wide calls: the list, a cut-off cell's tip and the popup.
TEST_F(MainWindowTest, JapaneseMailReadsBackAsWrittenInTheListItsTipsAndThePopup) {
    testsupport::Mailbox mailbox;
    mailbox.messages.push_back({"From: =?ISO-2022-JP?B?GyRCOzNFREJATzobKEI=?= <taro@example.jp>\r\n"
                                "Subject: =?ISO-2022-JP?B?GyRCMnE1RCROJCpDTiRpJDsbKEI=?=\r\n"
                                "Content-Type: text/plain; charset=ISO-2022-JP\r\n",
                                "\x1b$BK\\F|$O@2E7$J$j\x1b(B\r\n"});
    auto& server = Serve(mailbox);
    WriteTestProfile(server.Address());
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    CheckNow(dlg);
    ASSERT_EQ(1, dlg.m_list.GetItemCount());
    for (const auto& [column, shown] :
         {std::pair{0, L"山田太郎 <taro@example.jp>"}, std::pair{1, L"会議のお知らせ"}}) {
        wchar_t text[256] = {};
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 256;
        ::SendMessageW(dlg.m_list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(std::wstring(shown), text);
    }
    EXPECT_NE(0, dlg.m_list.SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_INFOTIP);
    dlg.m_list.SendMessage(LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(60, 0));
    dlg.m_list.SendMessage(LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(40, 0));
    EXPECT_EQ(L"山田太郎 <taro@example.jp>", TipAt(dlg, 0, 0));
    EXPECT_EQ(L"会議のお知らせ", TipAt(dlg, 0, 1));
    EXPECT_EQ(L"", TipAt(dlg, 0, 2)) << "the size is shown whole";
    dlg.m_list.SendMessage(LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(400, 0));
    EXPECT_EQ(L"", TipAt(dlg, 0, 0)) << "the sender is shown whole";
    dlg.Select(0);
    NMITEMACTIVATE doubleClick = {};
    doubleClick.hdr = {dlg.m_list, IDC_MESSAGE_LIST, static_cast<UINT>(NM_DBLCLK)};
    dlg.SendMessage(WM_NOTIFY, IDC_MESSAGE_LIST, reinterpret_cast<LPARAM>(&doubleClick));
    ASSERT_NE(dlg.m_popup->GetSafeHwnd(), nullptr);
    wchar_t summary[256] = {};
    ::GetDlgItemTextW(*dlg.m_popup, IDC_SUMMARY_TEXT, summary, 256);
    EXPECT_EQ(std::wstring(L"本日は晴天なり\r\n"), summary);
}
