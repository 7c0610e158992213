#include "tray_test_support.h"

#include "resource.h"

#include <string>

namespace {

using TrayIconTest = TrayTest;

TEST_F(TrayIconTest, CreateAddsTheIconToTheRealTrayWithAHiddenResurrectionWindow) {
    const size_t iconsBefore = TrayIconWindows().size();
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));

    ASSERT_EQ(m_shell.Calls().size(), 1u);
    const ShellCall& add = m_shell.Last();
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.size, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(add.size, 88u);
    }
    EXPECT_EQ(add.window, m_owner.GetSafeHwnd());
    EXPECT_EQ(add.id, 139u);
    EXPECT_EQ(add.flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.callbackMessage, 0x408u);
    EXPECT_EQ(add.icon, m_noMail.Get());
    EXPECT_EQ(add.tip, "Tarnwick");
    EXPECT_TRUE(add.result);
    // The resurrection window exists before the icon is added, so a new taskbar finds it.
    EXPECT_TRUE(add.resurrectionWndAlive);
    EXPECT_FALSE(add.animationWndAlive);

    HWND resurrection = ::FindWindowA(nullptr, kResurrectionTitle);
    ASSERT_NE(resurrection, nullptr);
    EXPECT_FALSE(::IsWindowVisible(resurrection));
    EXPECT_EQ(::GetParent(resurrection), nullptr);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(resurrection, GWL_STYLE)) & 0xCF0000u, 0xCF0000u);

    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore + 1; }));
    EXPECT_TRUE(icon.IsCreated());
    EXPECT_EQ(icon.GetTipText(), "Tarnwick");
    EXPECT_EQ(icon.GetIcon(), m_noMail.Get());
    EXPECT_EQ(icon.GetNotificationWnd(), &m_owner);
}

TEST_F(TrayIconTest, TipAndPictureChangesModifyOnlyTheirOwnField) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));

    EXPECT_TRUE(icon.SetTipText("Tarnwick - You have 4294967295 messages waiting."));
    EXPECT_EQ(m_shell.Last().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(m_shell.Last().flags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(m_shell.Last().tip, "Tarnwick - You have 4294967295 messages waiting.");
    EXPECT_EQ(icon.GetTipText(), "Tarnwick - You have 4294967295 messages waiting.");

    EXPECT_TRUE(icon.SetIcon(m_mail));
    EXPECT_EQ(m_shell.Last().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(m_shell.Last().flags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(m_shell.Last().icon, m_mail.Get());
    EXPECT_EQ(icon.GetIcon(), m_mail.Get());
    EXPECT_EQ(m_shell.Calls().size(), 3u);

    // Resource and system pictures arrive as handles like any other.
    EXPECT_TRUE(icon.SetStandardIcon(IDI_APPLICATION));
    EXPECT_EQ(m_shell.Last().icon, ::LoadIconA(nullptr, IDI_APPLICATION));
    EXPECT_TRUE(icon.SetIcon(static_cast<UINT>(IDI_DISABLED)));
    EXPECT_EQ(m_shell.Last().icon, ::LoadIconA(CWnd::Instance(), MAKEINTRESOURCEA(IDI_DISABLED)));
    EXPECT_FALSE(icon.SetIcon(static_cast<UINT>(4242)));
    EXPECT_EQ(m_shell.Calls().size(), 5u);
}

TEST_F(TrayIconTest, ALongTipIsCutTo63Characters) {
    const std::string longTip(100, 'x');
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, longTip.c_str(), m_noMail, WM_TRAY_NOTIFY));
    EXPECT_EQ(m_shell.Last().tip, std::string(63, 'x'));

    const std::string exact = std::string(62, 'a') + "b";
    EXPECT_TRUE(icon.SetTipText((exact + "cdef").c_str()));
    EXPECT_EQ(m_shell.Last().tip, exact);
    EXPECT_EQ(icon.GetTipText(), exact);

    EXPECT_TRUE(icon.SetTipText(""));
    EXPECT_EQ(m_shell.Last().tip, "");
}

TEST_F(TrayIconTest, CallsBeforeCreateAndAfterRemoveFailWithoutReachingTheShell) {
    const size_t iconsBefore = TrayIconWindows().size();
    CTrayNotifyIcon icon;
    EXPECT_FALSE(icon.SetTipText("Tarnwick"));
    EXPECT_FALSE(icon.SetIcon(m_mail));
    EXPECT_FALSE(icon.Animate(m_spinHandles, 4, 50));
    icon.Remove();
    EXPECT_TRUE(m_shell.Calls().empty());
    EXPECT_FALSE(WindowExists(kAnimationTitle));
    EXPECT_EQ(icon.GetTipText(), "");
    EXPECT_EQ(icon.GetIcon(), nullptr);

    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore + 1; }));
    icon.Remove();
    ASSERT_EQ(m_shell.Calls().size(), 2u);
    EXPECT_EQ(m_shell.Last().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(m_shell.Last().flags, 0u);
    EXPECT_TRUE(m_shell.Last().result);
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore; }));

    EXPECT_FALSE(icon.SetTipText("Tarnwick"));
    EXPECT_FALSE(icon.SetIcon(m_mail));
    EXPECT_FALSE(icon.Animate(m_spinHandles, 4, 50));
    icon.Remove();
    EXPECT_EQ(m_shell.Calls().size(), 2u);
    EXPECT_FALSE(WindowExists(kAnimationTitle));
}

TEST_F(TrayIconTest, HideAndShowDeleteAndAddOnceWithTheCurrentPictureAndTip) {
    const size_t iconsBefore = TrayIconWindows().size();
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_TRUE(icon.SetIcon(m_mail));
    ASSERT_TRUE(icon.SetTipText("Tarnwick - disabled"));
    m_shell.Clear();

    icon.Hide();
    icon.Hide();
    ASSERT_EQ(m_shell.Calls().size(), 1u);
    EXPECT_EQ(m_shell.Last().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(m_shell.Last().flags, static_cast<UINT>(NIF_ICON));
    EXPECT_TRUE(icon.IsHidden());
    EXPECT_TRUE(icon.IsCreated());
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore; }));

    icon.Show();
    icon.Show();
    ASSERT_EQ(m_shell.Calls().size(), 2u);
    const ShellCall& add = m_shell.Last();
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.icon, m_mail.Get());
    EXPECT_EQ(add.tip, "Tarnwick - disabled");
    EXPECT_EQ(add.window, m_owner.GetSafeHwnd());
    EXPECT_EQ(add.callbackMessage, static_cast<UINT>(WM_TRAY_NOTIFY));
    EXPECT_FALSE(icon.IsHidden());
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore + 1; }));
}

TEST_F(TrayIconTest, AFailedFirstAddLeavesTheIconUncreatedUntilANewTaskbarTakesIt) {
    CTrayNotifyIcon icon;
    m_shell.FailNext(NIM_ADD);
    EXPECT_FALSE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    EXPECT_FALSE(icon.IsCreated());
    EXPECT_FALSE(icon.SetTipText("Checking mail..."));
    EXPECT_EQ(m_shell.Calls().size(), 1u);

    // The resurrection window exists all the same and adds the icon when a taskbar arrives.
    ASSERT_TRUE(WindowExists(kResurrectionTitle));
    BroadcastTaskbarCreated();
    ASSERT_EQ(m_shell.Calls().size(), 3u);
    EXPECT_EQ(m_shell.Calls()[2].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(m_shell.Calls()[2].tip, "Tarnwick");
    EXPECT_TRUE(m_shell.Calls()[2].result);
    EXPECT_FALSE(icon.SetIcon(m_mail));
    EXPECT_EQ(m_shell.Calls().size(), 3u);

    // Remove does nothing for an uncreated icon, so the added one is taken away by hand.
    icon.Hide();
    EXPECT_EQ(m_shell.Last().message, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(TrayIconTest, NotificationsForOtherIconsOrWithoutAMenuAreNotHandled) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    EXPECT_EQ(icon.HandleNotification(IDR_TRAY_MENU + 1, WM_LBUTTONDBLCLK), 0);
    EXPECT_TRUE(m_owner.m_commands.empty());

    // A mouse move on our own icon is ours, but does nothing.
    EXPECT_EQ(icon.HandleNotification(IDR_TRAY_MENU, WM_MOUSEMOVE), 1);
    EXPECT_TRUE(m_owner.m_commands.empty());

    CTrayNotifyIcon noMenu;
    ASSERT_TRUE(noMenu.Create(&m_owner, 4242, "No menu", m_mail, WM_TRAY_NOTIFY));
    EXPECT_EQ(noMenu.HandleNotification(4242, WM_LBUTTONDBLCLK), 0);
    EXPECT_TRUE(m_owner.m_commands.empty());
}

TEST_F(TrayIconTest, DoubleClickSendsTheFirstMenuCommandToTheOwner) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    EXPECT_EQ(icon.HandleNotification(IDR_TRAY_MENU, WM_LBUTTONDBLCLK), 1);
    ASSERT_EQ(m_owner.m_commands.size(), 1u);
    EXPECT_EQ(m_owner.m_commands[0].first, static_cast<WPARAM>(ID_TRAY_OPEN));
    EXPECT_EQ(m_owner.m_commands[0].second, 0);
}

TEST_F(TrayIconTest, SwitchingTheCallbackWindowMovesTheIconToTheNewOwner) {
    OwnerWindow other;
    CTrayNotifyIcon icon;
    EXPECT_FALSE(icon.SetNotificationWnd(&other));
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_TRUE(icon.SetTipText("Tarnwick - NO messages waiting."));
    m_shell.Clear();
    EXPECT_TRUE(icon.SetNotificationWnd(&other));
    ASSERT_EQ(m_shell.Calls().size(), 2u);
    EXPECT_EQ(m_shell.Calls()[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(m_shell.Calls()[0].window, m_owner.GetSafeHwnd());
    const ShellCall& add = m_shell.Calls()[1];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.window, other.GetSafeHwnd());
    EXPECT_EQ(add.tip, "Tarnwick - NO messages waiting.");
    EXPECT_TRUE(add.result);
    EXPECT_EQ(icon.GetNotificationWnd(), &other);

    // Later changes reach the icon the shell now knows under the new window.
    EXPECT_TRUE(icon.SetIcon(m_mail));
    EXPECT_EQ(icon.HandleNotification(IDR_TRAY_MENU, WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(other.m_commands.size(), 1u);
    EXPECT_TRUE(m_owner.m_commands.empty());
    icon.Remove();
    EXPECT_TRUE(m_shell.Last().result);
}

TEST_F(TrayIconTest, DestructionClosesBothHiddenWindowsBeforeTheIconLeaves) {
    const size_t iconsBefore = TrayIconWindows().size();
    {
        CTrayNotifyIcon icon;
        ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
        ASSERT_TRUE(icon.Animate(m_spinHandles, 4, 250));
        ASSERT_TRUE(WindowExists(kAnimationTitle));
        ASSERT_TRUE(WindowExists(kResurrectionTitle));
        m_shell.Clear();
    }
    ASSERT_FALSE(m_shell.Calls().empty());
    const ShellCall& remove = m_shell.Last();
    EXPECT_EQ(remove.message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(remove.flags, 0u);
    EXPECT_FALSE(remove.animationWndAlive);
    EXPECT_FALSE(remove.resurrectionWndAlive);
    EXPECT_EQ(m_shell.Calls().size(), 1u);
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore; }));

    // Nothing of the icon is left to tick or to answer a new taskbar.
    m_shell.Clear();
    BroadcastTaskbarCreated();
    PumpFor(300);
    EXPECT_TRUE(m_shell.Calls().empty());
}

} // namespace
