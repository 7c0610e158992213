// Deletion and the window under open questions, against the scripted POP3 server.
#include "main_window_harness.h"

#include "mainwnd/window_messages.h"
#include "res/resource.h"

#include <commctrl.h>
#include <prsht.h>

#include <optional>
#include <string>

namespace {

class DeletionTest : public MainWindowTest {
protected:
    // A window that has checked `server`, with `row` selected.
    std::unique_ptr<TestDlg> Open(testsupport::ScriptedPop3Server& server, int row) {
        WriteTestProfile(server.Address());
        auto dlg = std::make_unique<TestDlg>();
        EXPECT_TRUE(dlg->Create());
        Click(*dlg, IDC_CHECK_NOW);
        EXPECT_TRUE(dlg->WaitIdle());
        dlg->Select(row);
        return dlg;
    }
};

} // namespace

// What waits under the question is the cycle's (tested natively).
TEST_F(DeletionTest, TheQuestionDefaultsToNoAndYesDeletesTheRowsMessageThenChecksAgain) {
    auto& server = Serve(MailboxOf(5, true));
    const auto window = Open(server, 4);
    TestDlg& dlg = *window;
    m_boxes.m_answer = IDNO;
    dlg.Command(ID_MSG_DELETE);
    ASSERT_EQ(1u, m_boxes.m_boxes.size());
    EXPECT_EQ("You have indicated you wish to delete the folowing message:\n\nFrom: Sender 5"
              "\nSubject: Subject 5\nSize: 2 KB.\n\nAre you sure you want to delete this message "
              "from the server?\n\nYou will not be able to undo this operation. Delete?",
              m_boxes.m_boxes[0].text);
    EXPECT_EQ("Tarnwick - Confirmation", m_boxes.m_boxes[0].caption);
    // Enter means No: the deletion cannot be undone.
    EXPECT_EQ(static_cast<UINT>(MB_YESNOCANCEL | MB_DEFBUTTON2), m_boxes.m_boxes[0].flags);
    EXPECT_EQ(1, server.Connections());

    m_boxes.m_boxes.clear();
    m_boxes.m_answer = IDYES;
    dlg.Command(ID_MSG_DELETE);
    EXPECT_EQ(1, dlg.Busy()) << "the deletion runs on the worker";
    ASSERT_TRUE(PumpUntil([&] { return m_boxes.m_boxes.size() == 2; }));
    EXPECT_EQ(std::vector<int>{5}, server.Deleted());
    EXPECT_EQ("Message deleted succesfully.\nGetting new message list from server.",
              m_boxes.m_boxes[1].text);
    ASSERT_TRUE(dlg.WaitIdle()); // the check the deletion started
    EXPECT_EQ(3, server.Connections());
}

// Why it failed is the cycle's (tested natively); here the box it comes in.
TEST_F(DeletionTest, AFailedDeletionComesAsAnErrorBox) {
    auto refusesQuit = MailboxOf(5, true);
    refusesQuit.overrides["QUIT\r\n"] = "-ERR could not commit\r\n";
    const auto window = Open(Serve(refusesQuit), 1);
    m_boxes.m_answer = IDYES;
    window->Command(ID_MSG_DELETE);
    ASSERT_TRUE(window->WaitIdle());
    ASSERT_EQ(2u, m_boxes.m_boxes.size());
    EXPECT_EQ("Tarnwick - Error", m_boxes.m_boxes[1].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), m_boxes.m_boxes[1].flags & MB_ICONMASK);
    EXPECT_EQ(0u, m_boxes.m_boxes[1].text.find("Could not delete message number 2\n\n"));
}

TEST_F(MainWindowTest, NoMailboxMeansNoCheckOnlyTheWayToTheConfiguration) {
    WriteTestProfile("");
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    // "Check now!" asked for by the user opens the way on: the configuration.
    int sheets = 0;
    const SheetAnswer cancel([&](HWND sheet) {
        ++sheets;
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
    });
    Click(dlg, IDC_CHECK_NOW);
    EXPECT_EQ(1, sheets);
    EXPECT_EQ(0, dlg.Busy());
    EXPECT_EQ("Tarnwick - no mailbox set up: choose Configuration", dlg.GetWindowText());
    EXPECT_EQ(dlg.GetWindowText(), dlg.m_trayIcon.GetTipText());
    EXPECT_TRUE(m_boxes.m_boxes.empty());
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

// The user's answer arrives after Exit: it must not delete.
TEST_F(DeletionTest, TheTrayMenuOffersNoCheckOverTheQuestionAndItsExitDeletesNothing) {
    auto& server = Serve(MailboxOf(5, true));
    const auto window = Open(server, 2);
    TestDlg& dlg = *window;
    const HWND hwnd = dlg.m_hWnd;
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
    bool hiddenUnderQuestion = false;
    m_boxes.m_whileOpen = [&](const MessageBoxRecorder::Box&) {
        underQuestion = openMenu();
        dlg.Command(ID_TRAY_EXIT);
        hiddenUnderQuestion = !::IsWindowVisible(hwnd) && ::IsWindow(hwnd);
        return IDYES;
    };
    dlg.Command(ID_MSG_DELETE);
    ASSERT_NE(~0u, underQuestion);
    EXPECT_NE(0u, underQuestion & MF_GRAYED);
    EXPECT_TRUE(hiddenUnderQuestion);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 2000)) << "the window stayed";
    EXPECT_EQ(1u, m_boxes.m_boxes.size());
    EXPECT_EQ(1, server.Connections());
    EXPECT_EQ(std::string::npos, server.Received().find("DELE"));
}

TEST_F(DeletionTest, AfterTheConfigurationNamesAnotherMailboxNoOldRowCanBeDeletedThere) {
    auto& first = Serve(MailboxOf(5, true));
    auto& other = Serve(MailboxOf(5, true));
    const auto window = Open(first, 2);
    TestDlg& dlg = *window;

    // Cancelled: the rows stay, and the next check finds nothing to refill.
    std::optional<SheetAnswer> answer;
    answer.emplace([](HWND sheet) { PropSheet_PressButton(sheet, PSBTN_CANCEL); });
    dlg.Command(ID_TRAY_CONFIGURE);
    EXPECT_EQ(5, dlg.m_list.GetItemCount());
    const int refills = dlg.m_refills;
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_TRUE(dlg.WaitIdle());
    EXPECT_EQ(refills, dlg.m_refills);

    // Another server: the old rows go, so no deletion can name them on it.
    answer.reset();
    answer.emplace([&](HWND sheet) {
        PropSheet_SetCurSel(sheet, nullptr, 0);
        SetItemText(PropSheet_GetCurrentPageHwnd(sheet), IDC_MAIL_SERVER, other.Address());
        PropSheet_PressButton(sheet, PSBTN_OK);
    });
    dlg.Command(ID_TRAY_CONFIGURE);
    EXPECT_EQ(other.Address(), dlg.Mailbox().m_MailServer);
    EXPECT_EQ(0, dlg.m_list.GetItemCount());
    dlg.Command(ID_MSG_DELETE);
    EXPECT_TRUE(m_boxes.m_boxes.empty());
    EXPECT_EQ(0, other.Connections());
}
