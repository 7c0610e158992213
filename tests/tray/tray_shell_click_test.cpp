#include "tray_test_support.h"

#include "resource.h"

#include <string>

namespace {

// Real mouse clicks through the X server on the icon Wine's tray shows.
class TrayClickTest : public TrayTest {
protected:
    // Puts the icon up and finds its place on the screen: the right-most in the tray.
    void CreateIcon(CTrayNotifyIcon& icon) {
        const size_t before = TrayIconWindows().size();
        ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
        ASSERT_TRUE(PumpUntil([&] { return TrayIconWindows().size() == before + 1; }))
            << "no icon appeared in the \"Wine System Tray\" window";
        RECT rect = {};
        ::GetWindowRect(TrayIconWindows().back(), &rect);
        m_centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }

    std::string MoveToIcon() const {
        return "mousemove " + std::to_string(m_centre.x) + " " + std::to_string(m_centre.y);
    }

    bool ReceivedCallback(LPARAM mouseMessage) const {
        for (const auto& callback : m_owner.m_callbacks) {
            if (callback.second == mouseMessage)
                return true;
        }
        return false;
    }

    POINT m_centre = {};
};

TEST_F(TrayClickTest, ARightClickReachesTheOwnerAsTheCallbackMessage) {
    CTrayNotifyIcon icon;
    CreateIcon(icon);
    ASSERT_TRUE(LaunchXdotool(MoveToIcon() + " click 3"));
    ASSERT_TRUE(PumpUntil([&] { return ReceivedCallback(WM_RBUTTONUP); }));
    EXPECT_TRUE(ReceivedCallback(WM_RBUTTONDOWN));
    for (const auto& callback : m_owner.m_callbacks)
        EXPECT_EQ(callback.first, static_cast<WPARAM>(IDR_TRAY_MENU));
}

TEST_F(TrayClickTest, ADoubleClickRunsTheFirstMenuCommand) {
    CTrayNotifyIcon icon;
    CreateIcon(icon);
    m_owner.m_forwardTo = &icon;
    ASSERT_TRUE(LaunchXdotool(MoveToIcon() + " click --repeat 2 --delay 80 1"));
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.m_commands.empty(); }));
    EXPECT_EQ(m_owner.m_commands[0].first, static_cast<WPARAM>(ID_TRAY_OPEN));
    EXPECT_EQ(m_owner.m_commands[0].second, 0);
    EXPECT_TRUE(ReceivedCallback(WM_LBUTTONDBLCLK));
    PumpFor(200);
    EXPECT_EQ(m_owner.m_commands.size(), 1u);
}

// What the open popup menu looked like, read from inside its modal loop.
struct OpenMenu {
    bool seen = false;
    RECT rect = {};
    UINT defaultCommand = 0;
    int itemCount = 0;
    HWND foreground = nullptr;
};
OpenMenu g_openMenu;

void CALLBACK InspectAndCloseMenu(HWND, UINT, UINT_PTR, DWORD) {
    HWND menuWindow = ::FindWindowA("#32768", nullptr);
    if (menuWindow == nullptr || !::IsWindowVisible(menuWindow))
        return;
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    g_openMenu.seen = true;
    ::GetWindowRect(menuWindow, &g_openMenu.rect);
    g_openMenu.defaultCommand = ::GetMenuDefaultItem(menu, FALSE, 0);
    g_openMenu.itemCount = ::GetMenuItemCount(menu);
    g_openMenu.foreground = ::GetForegroundWindow();
    ::EndMenu();
}

TEST_F(TrayClickTest, ARightClickOpensTheTrayMenuAtTheCursorWithOpenAsDefault) {
    CTrayNotifyIcon icon;
    CreateIcon(icon);
    m_owner.m_forwardTo = &icon;
    g_openMenu = OpenMenu();
    // Runs inside the menu's own message loop; it stays armed for the whole test so that no
    // menu can be left open.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &InspectAndCloseMenu);
    ASSERT_NE(timer, 0u);
    struct TimerGuard {
        UINT_PTR id;
        ~TimerGuard() { ::KillTimer(nullptr, id); }
    } guard{timer};

    ASSERT_TRUE(LaunchXdotool(MoveToIcon() + " click 3"));
    // The callback is recorded before the menu's loop starts and the loop ends before the
    // handler returns, so once the release is seen the menu has come and gone.
    ASSERT_TRUE(PumpUntil([&] { return ReceivedCallback(WM_RBUTTONUP); }, 5000));

    ASSERT_TRUE(g_openMenu.seen);
    EXPECT_EQ(g_openMenu.defaultCommand, static_cast<UINT>(ID_TRAY_OPEN));
    EXPECT_EQ(g_openMenu.itemCount, 6);
    // Flags 0: the menu's top-left corner sits at the cursor.
    EXPECT_EQ(g_openMenu.rect.left, m_centre.x);
    EXPECT_EQ(g_openMenu.rect.top, m_centre.y);
    EXPECT_EQ(g_openMenu.foreground, m_owner.GetSafeHwnd());
    EXPECT_EQ(m_owner.m_handled.back(), 1);
    // Closing the menu without a choice sends nothing.
    PumpFor(100);
    EXPECT_TRUE(m_owner.m_commands.empty());
}

} // namespace
