#include "tray_test_support.h"

#include "resource.h"

#include <vector>

namespace {

using TrayAnimationTest = TrayTest;

// The pictures the shell was given by NIM_MODIFY calls from index `start` on.
std::vector<HICON> PicturesFrom(const ShellRecorder& shell, size_t start) {
    std::vector<HICON> pictures;
    for (size_t i = start; i < shell.Calls().size(); ++i) {
        const ShellCall& call = shell.Calls()[i];
        if (call.message == NIM_MODIFY && call.flags == NIF_ICON)
            pictures.push_back(call.icon);
    }
    return pictures;
}

TEST_F(TrayAnimationTest, PicturesRunInOrderOnePerDelayUntilSetIconEndsThem) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    m_shell.Clear();

    constexpr UINT kDelay = 80;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(icon.Animate(m_spinHandles, 4, kDelay));
    EXPECT_TRUE(icon.IsAnimated());
    // Picture 0 is shown at once, before any tick.
    ASSERT_EQ(m_shell.Calls().size(), 1u);
    EXPECT_EQ(m_shell.Last().icon, m_spinHandles[0]);
    EXPECT_TRUE(m_shell.Last().result);

    HWND animation = ::FindWindowA(nullptr, kAnimationTitle);
    ASSERT_NE(animation, nullptr);
    EXPECT_FALSE(::IsWindowVisible(animation));
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(animation, GWL_STYLE)) & 0xCF0000u, 0xCF0000u);

    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(m_shell, 0).size() >= 6; }));
    const DWORD elapsed = ::GetTickCount() - start;
    const std::vector<HICON> expected = {m_spinHandles[0], m_spinHandles[1], m_spinHandles[2],
                                         m_spinHandles[3], m_spinHandles[0], m_spinHandles[1]};
    EXPECT_EQ(PicturesFrom(m_shell, 0), expected);
    // Five ticks cannot come sooner than five delays (allowing for timer granularity).
    EXPECT_GE(elapsed, 5 * kDelay - 40);
    for (const ShellCall& call : m_shell.Calls()) {
        EXPECT_EQ(call.message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(call.id, 139u);
    }
    EXPECT_EQ(icon.GetIcon(), m_spinHandles[1]);

    ASSERT_TRUE(icon.SetIcon(m_mail));
    EXPECT_FALSE(icon.IsAnimated());
    EXPECT_FALSE(WindowExists(kAnimationTitle));
    EXPECT_FALSE(m_shell.Last().animationWndAlive);
    const size_t afterSetIcon = m_shell.Calls().size();
    PumpFor(5 * kDelay);
    EXPECT_EQ(m_shell.Calls().size(), afterSetIcon);
    EXPECT_EQ(m_shell.Last().icon, m_mail.Get());
    EXPECT_EQ(icon.GetIcon(), m_mail.Get());
}

TEST_F(TrayAnimationTest, ANewAnimationReplacesTheRunningOneAndStartsAtItsFirstPicture) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_TRUE(icon.Animate(m_spinHandles, 4, 50));
    // Two ticks in, so the old animation stands at picture 2.
    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(m_shell, 1).size() >= 3; }));

    const HICON second[] = {m_mail, m_disabled, m_noMail};
    const size_t restart = m_shell.Calls().size();
    ASSERT_TRUE(icon.Animate(second, 3, 50));
    EXPECT_EQ(CountTopLevelWindows(kAnimationTitle), 1);
    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(m_shell, restart).size() >= 5; }));
    const std::vector<HICON> expected = {m_mail, m_disabled, m_noMail, m_mail, m_disabled};
    EXPECT_EQ(PicturesFrom(m_shell, restart), expected);
}

TEST_F(TrayAnimationTest, ASinglePictureIsSentAgainOnEveryTick) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    const HICON only[] = {m_mail};
    m_shell.Clear();
    ASSERT_TRUE(icon.Animate(only, 1, 40));
    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(m_shell, 0).size() >= 4; }));
    EXPECT_EQ(PicturesFrom(m_shell, 0), std::vector<HICON>(4, m_mail.Get()));
}

TEST_F(TrayAnimationTest, TheAnimatedCreateAddsTheFirstPictureAndThenSteps) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(
        icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_spinHandles, 4, 50, WM_TRAY_NOTIFY));
    ASSERT_GE(m_shell.Calls().size(), 1u);
    EXPECT_EQ(m_shell.Calls()[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(m_shell.Calls()[0].icon, m_spinHandles[0]);
    EXPECT_TRUE(m_shell.Calls()[0].animationWndAlive);
    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(m_shell, 1).size() >= 2; }));
    const std::vector<HICON> expected = {m_spinHandles[1], m_spinHandles[2]};
    EXPECT_EQ(PicturesFrom(m_shell, 1), expected);
}

TEST_F(TrayAnimationTest, TaskbarCreatedAddsAShownIconAgainWithItsCurrentPictureAndTip) {
    const size_t iconsBefore = TrayIconWindows().size();
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_TRUE(icon.SetIcon(m_mail));
    ASSERT_TRUE(icon.SetTipText("Tarnwick - You have 3 messages waiting."));
    m_shell.Clear();

    BroadcastTaskbarCreated();
    ASSERT_EQ(m_shell.Calls().size(), 2u);
    EXPECT_EQ(m_shell.Calls()[0].message, static_cast<DWORD>(NIM_DELETE));
    const ShellCall& add = m_shell.Calls()[1];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.size, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(add.window, m_owner.GetSafeHwnd());
    EXPECT_EQ(add.id, 139u);
    EXPECT_EQ(add.callbackMessage, static_cast<UINT>(WM_TRAY_NOTIFY));
    EXPECT_EQ(add.icon, m_mail.Get());
    EXPECT_EQ(add.tip, "Tarnwick - You have 3 messages waiting.");
    EXPECT_TRUE(add.result);
    EXPECT_FALSE(icon.IsHidden());
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore + 1; }));

    // While animating, the picture shown last is the one re-added.
    ASSERT_TRUE(icon.Animate(m_spinHandles, 4, 50));
    ASSERT_TRUE(PumpUntil([&] { return icon.GetIcon() == m_spinHandles[2]; }));
    const size_t restart = m_shell.Calls().size();
    BroadcastTaskbarCreated();
    ASSERT_GE(m_shell.Calls().size(), restart + 2);
    EXPECT_EQ(m_shell.Calls()[restart + 1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(m_shell.Calls()[restart + 1].icon, m_spinHandles[2]);
}

TEST_F(TrayAnimationTest, TaskbarCreatedLeavesAHiddenIconHidden) {
    const size_t iconsBefore = TrayIconWindows().size();
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    icon.Hide();
    m_shell.Clear();

    const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    HWND resurrection = ::FindWindowA(nullptr, kResurrectionTitle);
    ASSERT_NE(resurrection, nullptr);
    EXPECT_EQ(::SendMessageA(resurrection, taskbarCreated, 0, 0), 0);
    EXPECT_TRUE(m_shell.Calls().empty());
    EXPECT_TRUE(icon.IsHidden());
    PumpFor(100);
    EXPECT_EQ(TrayIconWindows().size(), iconsBefore);
}

} // namespace
