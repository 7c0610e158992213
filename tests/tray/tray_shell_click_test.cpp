#include "tray_test_support.h"

#include "resource.h"

#include <string>

namespace {

// Wine runs a Unix program given by its Unix path; the caller waits for the clicks' effects.
bool LaunchXdotool(const std::string& arguments) {
    return ::WinExec(("/usr/bin/xdotool " + arguments).c_str(), SW_HIDE) > 31;
}

// The open popup menu, read from inside its modal loop, which is then ended.
UINT g_menuDefault;
RECT g_menuRect;

void CALLBACK InspectAndCloseMenu(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = ::FindWindowA("#32768", nullptr);
    if (window == nullptr || !::IsWindowVisible(window))
        return;
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageA(window, MN_GETHMENU, 0, 0));
    g_menuDefault = ::GetMenuDefaultItem(menu, FALSE, 0);
    ::GetWindowRect(window, &g_menuRect);
    ::EndMenu();
}

// Real clicks through the X server on the icon Wine's tray shows.
TEST_F(TrayTest, RealClicksOpenTheMenuAtTheCursorAndRunItsFirstCommand) {
    CTrayNotifyIcon icon;
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_TRUE(PumpUntil([] { return TrayIconWindows().size() == 1; }))
        << "not our icon alone in the \"Wine System Tray\" window";
    RECT rect = {};
    ::GetWindowRect(TrayIconWindows()[0], &rect);
    const POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    const std::string move =
        "mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y);
    m_owner.forwardTo = &icon;

    // Right click: the menu opens at the cursor with "&Open" bold; left without a choice.
    g_menuDefault = 0;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &InspectAndCloseMenu);
    ASSERT_TRUE(LaunchXdotool(move + " click 3"));
    // The handler returns only once the menu has closed.
    const bool released = PumpUntil([&] { return m_owner.Received(WM_RBUTTONUP); }, 5000);
    ::KillTimer(nullptr, timer);
    ASSERT_TRUE(released);
    EXPECT_TRUE(m_owner.Received(WM_RBUTTONDOWN));
    EXPECT_EQ(g_menuDefault, static_cast<UINT>(ID_TRAY_OPEN));
    EXPECT_EQ(g_menuRect.left, centre.x);
    EXPECT_EQ(g_menuRect.top, centre.y);
    EXPECT_TRUE(m_owner.commands.empty());

    // Double click: the first item's command reaches the owner.
    ASSERT_TRUE(LaunchXdotool(move + " click --repeat 2 --delay 80 1"));
    ASSERT_TRUE(PumpUntil([&] { return !m_owner.commands.empty(); }));
    EXPECT_TRUE(m_owner.Received(WM_LBUTTONDBLCLK));
    EXPECT_EQ(m_owner.commands, std::vector<WPARAM>{ID_TRAY_OPEN});
    // Another icon's callback is not this one's to handle.
    EXPECT_EQ(icon.HandleNotification(IDR_TRAY_MENU + 1, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(m_owner.commands.size(), 1u);
}

} // namespace
