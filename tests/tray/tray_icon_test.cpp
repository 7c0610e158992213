#include "tray_test_support.h"

#include "resource.h"

#include <memory>
#include <string>

namespace {

using Pictures = std::vector<HICON>;
constexpr UINT kAllFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

// As a restarted shell does (Wine's never does); returns once every window handled it.
void BroadcastTaskbarCreated() {
    ::SendMessageTimeoutA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                          SMTO_ABORTIFHUNG, 2000, nullptr);
}

TEST_F(TrayTest, CreateChangeAndRemoveReachTheRealTrayAndNothingElseDoes) {
    const size_t iconsBefore = TrayIconWindows().size();
    CTrayNotifyIcon icon;
    const auto refused = [&] {
        return !icon.SetTipText("Tarnwick") && !icon.SetIcon(m_mail) &&
               !icon.Animate(m_spin, 4, 50);
    };
    EXPECT_TRUE(refused());
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_EQ(m_calls.size(), 1u);
    const ShellCall add = m_calls[0];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.cbSize, 88u); // the version-1 size of a 32-bit build
    EXPECT_EQ(add.data.hWnd, m_owner.GetSafeHwnd());
    EXPECT_EQ(add.data.uID, 139u);
    EXPECT_EQ(add.data.uFlags, kAllFlags);
    EXPECT_EQ(add.data.uCallbackMessage, 0x408u);
    EXPECT_EQ(add.data.hIcon, m_noMail);
    EXPECT_STREQ(add.data.szTip, "Tarnwick");
    EXPECT_TRUE(add.result);
    // Already there to hear from a taskbar that comes up while the icon is added.
    EXPECT_TRUE(add.resurrectionWndAlive);
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore + 1; }));

    // Each change sends only its own field; a long tip is cut to what the record holds.
    const std::string tip63(63, 'x');
    EXPECT_TRUE(icon.SetTipText((tip63 + "yz").c_str()));
    EXPECT_EQ(m_calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(m_calls.back().data.uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(m_calls.back().data.szTip, tip63);
    EXPECT_TRUE(icon.SetIcon(m_mail));
    EXPECT_EQ(m_calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(m_calls.back().data.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(m_calls.back().data.hIcon, m_mail);

    icon.Remove();
    ASSERT_EQ(m_calls.size(), 4u);
    EXPECT_EQ(m_calls.back().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(m_calls.back().data.uFlags, 0u);
    EXPECT_TRUE(m_calls.back().result);
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore; }));
    EXPECT_TRUE(refused());
    icon.Remove();
    EXPECT_EQ(m_calls.size(), 4u);
}

TEST_F(TrayTest, AnimationStepsInOrderStartsOverAndEndsAtSetIcon) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    constexpr UINT kDelay = 80;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(icon.Animate(m_spin, 4, kDelay));
    EXPECT_EQ(PicturesFrom(1), Pictures{m_spin[0]}); // at once, before any tick
    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(1).size() >= 6; }));
    const auto& spin = m_spin;
    EXPECT_EQ(PicturesFrom(1), (Pictures{spin[0], spin[1], spin[2], spin[3], spin[0], spin[1]}));
    EXPECT_GE(::GetTickCount() - start, 5 * kDelay - 40); // one step per delay

    // A new taskbar gets the picture shown last.
    BroadcastTaskbarCreated();
    EXPECT_EQ(m_calls.back().message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(m_calls.back().data.hIcon, spin[1]);

    const HICON second[] = {m_mail, m_disabled, m_noMail};
    const size_t restart = m_calls.size();
    ASSERT_TRUE(icon.Animate(second, 3, kDelay));
    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(restart).size() >= 5; }));
    EXPECT_EQ(PicturesFrom(restart), (Pictures{m_mail, m_disabled, m_noMail, m_mail, m_disabled}));

    ASSERT_TRUE(icon.SetIcon(m_mail));
    EXPECT_FALSE(WindowExists(kAnimationTitle));
    const size_t stopped = m_calls.size();
    PumpUntil([] { return false; }, 4 * kDelay);
    EXPECT_EQ(m_calls.size(), stopped);
}

TEST_F(TrayTest, ANewTaskbarGetsAShownIconBackUntilTheIconIsDestroyed) {
    const size_t iconsBefore = TrayIconWindows().size();
    auto icon = std::make_unique<CTrayNotifyIcon>();
    ASSERT_TRUE(icon->Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_TRUE(icon->SetIcon(m_mail));
    ASSERT_TRUE(icon->SetTipText("Tarnwick - You have 3 messages waiting."));
    m_calls.clear();
    const auto expectAddedAsNow = [&](const ShellCall& add) {
        EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(add.data.uFlags, kAllFlags);
        EXPECT_EQ(add.data.hWnd, m_owner.GetSafeHwnd());
        EXPECT_EQ(add.data.uCallbackMessage, static_cast<UINT>(WM_TRAY_NOTIFY));
        EXPECT_EQ(add.data.hIcon, m_mail);
        EXPECT_STREQ(add.data.szTip, "Tarnwick - You have 3 messages waiting.");
        EXPECT_TRUE(add.result);
    };
    BroadcastTaskbarCreated();
    ASSERT_EQ(m_calls.size(), 2u);
    EXPECT_EQ(m_calls[0].message, static_cast<DWORD>(NIM_DELETE));
    expectAddedAsNow(m_calls[1]);
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore + 1; }));

    icon->Hide();
    icon->Hide();
    BroadcastTaskbarCreated();
    ASSERT_EQ(m_calls.size(), 3u);
    EXPECT_EQ(m_calls[2].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore; }));
    icon->Show();
    icon->Show();
    ASSERT_EQ(m_calls.size(), 4u);
    expectAddedAsNow(m_calls[3]);
    EXPECT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == iconsBefore + 1; }));

    // Both hidden windows are closed before the icon leaves; nothing answers afterwards.
    ASSERT_TRUE(icon->Animate(m_spin, 4, 50));
    m_calls.clear();
    icon.reset();
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_FALSE(m_calls[0].animationWndAlive);
    EXPECT_FALSE(m_calls[0].resurrectionWndAlive);
    BroadcastTaskbarCreated();
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(m_calls.size(), 1u);
}

TEST_F(TrayTest, AFailedFirstAddIsMadeGoodByANewTaskbarButStaysUncreated) {
    CTrayNotifyIcon icon;
    m_failNext = NIM_ADD;
    EXPECT_FALSE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    BroadcastTaskbarCreated();
    ASSERT_EQ(m_calls.size(), 3u);
    EXPECT_EQ(m_calls[2].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(m_calls[2].result);
    EXPECT_FALSE(icon.SetIcon(m_mail));
    EXPECT_EQ(m_calls.size(), 3u);
    icon.Hide(); // Remove leaves an uncreated icon alone
}

} // namespace
