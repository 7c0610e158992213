// Deletion and the check cycle under open questions, against the scripted POP3 server.
#include "main_window_harness.h"

#include "mainwnd/window_messages.h"
#include "res/resource.h"

#include <commctrl.h>
#include <prsht.h>

#include <string>

namespace {

const char kQuestion[] = "Tarnwick - Confirmation";

// Five messages with unique ids of their own, so that a mailbox without the first one still
// names the others as before.
testsupport::Mailbox FiveWithUids(int from = 1) {
    testsupport::Mailbox mailbox = MailboxOf(5);
    mailbox.capabilities = {"UIDL"};
    for (int i = 0; i < 5; ++i)
        mailbox.messages[i].uid = "m" + std::to_string(i + 1);
    mailbox.messages.erase(mailbox.messages.begin(), mailbox.messages.begin() + (from - 1));
    return mailbox;
}

void Select(TestDlg& dlg, int row) {
    dlg.m_list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

bool MenuGrayed(const TestDlg& dlg, UINT id) {
    return (dlg.m_trayMenu.GetMenuState(id) & MF_GRAYED) != 0;
}

void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

class DeletionTest : public MainWindowTest {
protected:
    // A window that has checked `server`, with `row` selected.
    std::unique_ptr<TestDlg> Open(testsupport::ScriptedPop3Server& server, int row) {
        WriteTestProfile(server.Address());
        auto dlg = std::make_unique<TestDlg>();
        EXPECT_TRUE(dlg->Create());
        Click(*dlg, IDC_CHECK_NOW);
        EXPECT_TRUE(dlg->WaitIdle());
        Select(*dlg, row);
        return dlg;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& box : m_boxes.m_boxes)
            texts.push_back(box.text);
        return texts;
    }
};

} // namespace

TEST_F(DeletionTest, CommandsUnderTheQuestionWaitAndTheConfirmedMessageIsDeleted) {
    auto& server = Serve(FiveWithUids());
    const auto window = Open(server, 2);
    TestDlg& dlg = *window;
    bool quietUnderQuestion = false;
    m_boxes.m_whileOpen = [&](const MessageBoxRecorder::Box& box) {
        if (box.caption != kQuestion)
            return IDOK;
        // What used to start a second session beside the question.
        dlg.PostMessage(WM_TIMER, ID_TIMER_CHECK);
        dlg.Command(ID_TRAY_CHECK);
        Click(dlg, IDC_CHECK_NOW);
        Pump(300);
        quietUnderQuestion = server.Connections() == 1 && !dlg.Busy() &&
                             MenuGrayed(dlg, ID_TRAY_CHECK) && MenuGrayed(dlg, ID_TRAY_CONFIGURE) &&
                             MenuGrayed(dlg, ID_TRAY_DISABLE);
        return IDYES;
    };
    dlg.Command(ID_MSG_DELETE);
    EXPECT_TRUE(quietUnderQuestion);
    EXPECT_EQ(1, dlg.Busy()) << "the deletion runs on the worker";
    EXPECT_EQ("Checking mail...", dlg.m_trayIcon.GetTipText());
    ASSERT_TRUE(dlg.WaitIdle());
    EXPECT_EQ(std::vector<int>{3}, server.Deleted());
    ASSERT_EQ(2u, m_boxes.m_boxes.size());
    EXPECT_EQ(0u, m_boxes.m_boxes[1].text.find("Message deleted succesfully."));
}

TEST_F(DeletionTest, ADeletionLeavesTheWindowFreeAndIsDoneOnlyWhenTheServerTookDeleAndQuit) {
    auto listed = FiveWithUids();
    auto& server = Serve(listed);
    auto refusesQuit = listed;
    refusesQuit.overrides["QUIT\r\n"] = "-ERR could not commit\r\n";
    auto& noQuit = Serve(refusesQuit);
    testsupport::ScriptedPop3Server stalled;
    stalled.Login().Silence();
    stalled.Start();
    const auto window = Open(server, 1);
    TestDlg& dlg = *window;
    dlg.Mailbox().SetTimeout(1500);
    m_boxes.m_answer = IDYES;

    struct Case {
        std::string address, reason;
    };
    for (const Case& c :
         {Case{stalled.Address(), ""}, Case{noQuit.Address(), "Error occured during QUIT"}}) {
        m_boxes.m_boxes.clear();
        dlg.Mailbox().m_MailServer = c.address;
        Select(dlg, 1);
        dlg.Command(ID_MSG_DELETE);
        // Back from the command with the deletion still running: the window stays free.
        EXPECT_EQ(1, dlg.Busy()) << c.address;
        ASSERT_TRUE(dlg.WaitIdle());
        ASSERT_EQ(2u, m_boxes.m_boxes.size()) << c.address;
        const auto& failure = m_boxes.m_boxes[1];
        EXPECT_EQ("Tarnwick - Error", failure.caption);
        EXPECT_EQ(0u, failure.text.find("Could not delete message number 2\n\n"));
        if (!c.reason.empty()) {
            EXPECT_EQ("Could not delete message number 2\n\n" + c.reason, failure.text);
        }
        // The mail state is shown again, and no check was started.
        EXPECT_EQ("Tarnwick - You have 5 messages waiting.", dlg.m_trayIcon.GetTipText());
        EXPECT_EQ(5, dlg.m_list.GetItemCount());
    }
    EXPECT_TRUE(noQuit.Deleted().empty());
    EXPECT_EQ(1, noQuit.Connections());
}

TEST_F(MainWindowTest, NoMailboxMeansNoCheckOnlyTheWayToTheConfiguration) {
    WriteTestProfile("");
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    Click(dlg, IDC_CHECK_NOW);
    EXPECT_EQ(0, dlg.Busy());
    EXPECT_EQ("Tarnwick - no mailbox set up: choose Configuration", dlg.GetWindowText());
    EXPECT_EQ(dlg.GetWindowText(), dlg.m_trayIcon.GetTipText());
    EXPECT_TRUE(m_boxes.m_boxes.empty());
}

TEST_F(DeletionTest, ExitFromTheTrayUnderTheQuestionEndsTheWindowAndDeletesNothing) {
    auto& server = Serve(FiveWithUids());
    const auto window = Open(server, 2);
    TestDlg& dlg = *window;
    const HWND hwnd = dlg.m_hWnd;
    bool hiddenUnderQuestion = false;
    m_boxes.m_whileOpen = [&](const MessageBoxRecorder::Box&) {
        dlg.Command(ID_TRAY_EXIT);
        // A tick and a tray command after Exit start nothing either.
        dlg.SendMessage(WM_TIMER, ID_TIMER_CHECK);
        dlg.Command(ID_TRAY_CHECK);
        Pump(200);
        hiddenUnderQuestion = !::IsWindowVisible(hwnd) && ::IsWindow(hwnd);
        return IDYES; // the user's answer arrives after Exit: it must not delete
    };
    dlg.Command(ID_MSG_DELETE);
    EXPECT_TRUE(hiddenUnderQuestion);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 2000)) << "the window stayed";
    EXPECT_EQ(1u, m_boxes.m_boxes.size());
    EXPECT_EQ(1, server.Connections());
    EXPECT_EQ(std::string::npos, server.Received().find("DELE"));
}

namespace {

TestDlg* g_menuOwner = nullptr;
UINT g_checkStateInMenu = ~0u;

// Runs inside the tray menu's own loop: reads what it offers, then closes it.
void CALLBACK ReadTrayMenu(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    g_checkStateInMenu = g_menuOwner->m_trayMenu.GetMenuState(ID_TRAY_CHECK);
    ::EndMenu();
}

} // namespace

TEST_F(DeletionTest, TheOpenTrayMenuOffersItsCommandsButNotOverAnOpenQuestion) {
    auto& server = Serve(FiveWithUids());
    const auto window = Open(server, 2);
    TestDlg& dlg = *window;
    g_menuOwner = &dlg;
    const auto openMenu = [&] {
        g_checkStateInMenu = ~0u;
        ::SetTimer(nullptr, 0, 100, &ReadTrayMenu);
        dlg.SendMessage(WM_TRAY_NOTIFY, IDR_TRAY_MENU, WM_RBUTTONUP);
        return g_checkStateInMenu;
    };
    const UINT alone = openMenu();
    ASSERT_NE(~0u, alone) << "the menu did not open";
    EXPECT_EQ(0u, alone & MF_GRAYED);

    UINT underQuestion = ~0u;
    m_boxes.m_whileOpen = [&](const MessageBoxRecorder::Box&) {
        underQuestion = openMenu();
        return IDNO;
    };
    dlg.Command(ID_MSG_DELETE);
    ASSERT_NE(~0u, underQuestion);
    EXPECT_NE(0u, underQuestion & MF_GRAYED);
}

namespace {

std::string g_newServer;

// Runs inside the configuration sheet's loop: names another server, or cancels.
void CALLBACK AnswerSheet(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND sheet = ::FindWindowA(nullptr, "Configuration");
    if (sheet == nullptr || !::IsWindowVisible(sheet))
        return;
    ::KillTimer(nullptr, timer);
    if (g_newServer.empty()) {
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
        return;
    }
    PropSheet_SetCurSel(sheet, nullptr, 0);
    ::SetDlgItemTextA(PropSheet_GetCurrentPageHwnd(sheet), IDC_MAIL_SERVER, g_newServer.c_str());
    PropSheet_PressButton(sheet, PSBTN_OK);
}

} // namespace

TEST_F(DeletionTest, AfterTheConfigurationNamesAnotherMailboxNoOldRowCanBeDeletedThere) {
    auto& first = Serve(FiveWithUids());
    auto& other = Serve(FiveWithUids());
    const auto window = Open(first, 2);
    TestDlg& dlg = *window;

    // Cancelled: the rows stay, and the next check finds nothing to refill.
    g_newServer.clear();
    ::SetTimer(nullptr, 0, 50, &AnswerSheet);
    dlg.Command(ID_TRAY_CONFIGURE);
    EXPECT_EQ(5, dlg.m_list.GetItemCount());
    const int refills = dlg.m_refills;
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_TRUE(dlg.WaitIdle());
    EXPECT_EQ(refills, dlg.m_refills);

    // Another server: the old rows go, so no deletion can name them on it.
    g_newServer = other.Address();
    ::SetTimer(nullptr, 0, 50, &AnswerSheet);
    dlg.Command(ID_TRAY_CONFIGURE);
    EXPECT_EQ(other.Address(), dlg.Mailbox().m_MailServer);
    EXPECT_EQ(0, dlg.m_list.GetItemCount());
    dlg.Command(ID_MSG_DELETE);
    EXPECT_TRUE(m_boxes.m_boxes.empty());
    EXPECT_EQ(0, other.Connections());
}
