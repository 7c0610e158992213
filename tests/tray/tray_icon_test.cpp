#include "framework/wnd.h"
#include "mainwnd/window_messages.h"
#include "mime/utf16_win.h"
#include "resource.h"
#include "tray/tray_notify_icon.h"
#include "ui/framework_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// The shell tells the record's versions apart by its size: the whole wide record of Windows 7
// and later, which balloons need, is 956 bytes on 32-bit Windows and 976 on 64-bit Windows.
constexpr DWORD kRecordSize = sizeof(void*) == 8 ? 976u : 956u;

using Pictures = std::vector<HICON>;
constexpr char kAnimationTitle[] = "CTrayNotifyIcon Animation Notification Window";
constexpr char kResurrectionTitle[] = "CTrayNotifyIcon Resurrection Notification Window";

// The first icon that Wine's "Wine System Tray" window shows, if any.
HWND TrayIcon() {
    HWND icon = ::GetWindow(::FindWindowA(nullptr, "Wine System Tray"), GW_CHILD);
    while (icon != nullptr && !::IsWindowVisible(icon))
        icon = ::GetWindow(icon, GW_HWNDNEXT);
    return icon;
}

// Reads the open popup menu from inside its modal loop, then ends the menu.
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

// Stands in for the main window; hands callbacks on to forwardTo's default handling.
struct OwnerWindow : CWnd {
    OwnerWindow() { CreateEx(0, nullptr, "Tray owner", WS_OVERLAPPEDWINDOW, 0, 0, 99, 99, {}, {}); }
    CTrayNotifyIcon* forwardTo = nullptr;
    std::set<LPARAM> mouse; // from the callbacks
    std::vector<WPARAM> commands;
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && lParam == 0)
            commands.push_back(wParam);
        if (msg != WM_TRAY_NOTIFY || wParam != IDR_TRAY_MENU)
            return CWnd::OnMessage(msg, wParam, lParam);
        mouse.insert(lParam);
        return forwardTo != nullptr ? forwardTo->HandleNotification(wParam, lParam) : 0;
    }
};

// One call into the notification area, with the record as the icon passed it.
struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
    BOOL result;
    bool animationWndAlive, resurrectionWndAlive;
};

// A real owner window and six of the program's own pictures, told apart by their handles;
// every shell call lands in m_calls on its way to Wine.
class TrayTest : public ::testing::Test {
protected:
    static HICON Load(UINT id) { return ::LoadIconA(CWnd::Instance(), MAKEINTRESOURCEA(id)); }
    static bool Exists(const char* title) { return ::FindWindowA(nullptr, title) != nullptr; }
    static BOOL WINAPI Record(DWORD message, PNOTIFYICONDATAW data) {
        // No taskbar yet: every call fails, as the shell's do before one exists.
        const BOOL result = s_noTaskbar ? FALSE : ::Shell_NotifyIconW(message, data);
        s_test->m_calls.push_back(
            {message, *data, result, Exists(kAnimationTitle), Exists(kResurrectionTitle)});
        return result;
    }
    static inline TrayTest* s_test = nullptr;
    static inline bool s_noTaskbar = false;

    void SetUp() override {
        s_test = this;
        CTrayNotifyIcon::s_ShellNotify = &Record;
        for (HICON icon : {m_spin[0], m_spin[1], m_spin[2], m_spin[3], m_noMail, m_mail})
            ASSERT_NE(icon, nullptr);
    }
    void TearDown() override {
        CTrayNotifyIcon::s_ShellNotify = &::Shell_NotifyIconW;
        s_noTaskbar = false;
    }

    // As a restarted shell does (Wine's never does); returns once every window handled it.
    static void BroadcastTaskbarCreated() {
        ::SendMessageTimeoutA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                              SMTO_ABORTIFHUNG, 2000, nullptr);
    }
    // The whole record added anew, as Create and Show send it.
    void ExpectAdd(const ShellCall& add, HICON icon, const char* tip) const {
        EXPECT_EQ(add.message, DWORD{NIM_ADD});
        EXPECT_EQ(add.data.cbSize, kRecordSize);
        EXPECT_EQ(add.data.hWnd, m_owner.GetSafeHwnd());
        EXPECT_EQ(add.data.uID, 139u);
        EXPECT_EQ(add.data.uFlags, UINT{NIF_MESSAGE | NIF_ICON | NIF_TIP});
        EXPECT_EQ(add.data.uCallbackMessage, 0x408u);
        EXPECT_EQ(add.data.hIcon, icon);
        EXPECT_EQ(mime::FromUtf16(add.data.szTip), tip);
        EXPECT_TRUE(add.result);
    }
    // The pictures the animation sent (NIM_MODIFY with NIF_ICON) from call `start` on.
    Pictures PicturesFrom(size_t start) const {
        Pictures pictures;
        for (size_t i = start; i < m_calls.size(); ++i) {
            if (m_calls[i].message == NIM_MODIFY && m_calls[i].data.uFlags == NIF_ICON)
                pictures.push_back(m_calls[i].data.hIcon);
        }
        return pictures;
    }

    std::vector<ShellCall> m_calls;
    OwnerWindow m_owner;
    const HICON m_spin[4] = {Load(IDI_SPIN_0), Load(IDI_SPIN_90), Load(IDI_SPIN_180),
                             Load(IDI_SPIN_270)};
    const HICON m_noMail = Load(IDI_NOMAIL), m_mail = Load(IDI_MAIL);
};

TEST_F(TrayTest, LivesInTheRealTrayOnlyFromCreateToRemoveAndARealRightClickOpensItsMenu) {
    CTrayNotifyIcon icon;
    const auto refused = [&] {
        return !icon.SetTipText("Tarnwick") && !icon.SetIcon(m_mail) &&
               !icon.Animate(m_spin, 4, 50);
    };
    EXPECT_TRUE(refused());
    ASSERT_TRUE(icon.Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_EQ(m_calls.size(), 1u);
    ExpectAdd(m_calls[0], m_noMail, "Tarnwick");
    // Already there to hear from a taskbar that comes up while the icon is added.
    EXPECT_TRUE(m_calls[0].resurrectionWndAlive);
    ASSERT_TRUE(PumpUntil([] { return TrayIcon() != nullptr; })) << "no icon in Wine's tray";

    // Through the X server: the menu opens at the cursor, "&Open" bold, left without a choice.
    RECT rect = {};
    ::GetWindowRect(TrayIcon(), &rect);
    const POINT at = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    m_owner.forwardTo = &icon;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &InspectAndCloseMenu);
    const std::string click = "/usr/bin/xdotool mousemove " + std::to_string(at.x) + " " +
                              std::to_string(at.y) + " click 3"; // Wine runs Unix paths
    ASSERT_GT(::WinExec(click.c_str(), SW_HIDE), 31u);
    // The handler returns only once the menu has closed.
    const bool released = PumpUntil([&] { return m_owner.mouse.count(WM_RBUTTONUP) > 0; }, 5000);
    ::KillTimer(nullptr, timer);
    ASSERT_TRUE(released);
    EXPECT_EQ(m_owner.mouse.count(WM_RBUTTONDOWN), 1u);
    EXPECT_EQ(g_menuDefault, UINT{ID_TRAY_OPEN});
    EXPECT_EQ(g_menuRect.left, at.x);
    EXPECT_EQ(g_menuRect.top, at.y);
    EXPECT_TRUE(m_owner.commands.empty());
    // A double click sends the first item's command; another icon's callback is not ours.
    EXPECT_EQ(icon.HandleNotification(IDR_TRAY_MENU, WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(icon.HandleNotification(IDR_TRAY_MENU + 1, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(m_owner.commands, std::vector<WPARAM>{ID_TRAY_OPEN});

    // Each change sends only its own field; the tip goes wide, in any language, and a long
    // one is cut to what the record holds, never inside a character.
    const std::wstring tip62(62, L'x');
    const std::pair<const char*, std::wstring> tips[] = {
        {"会議のお知らせ", L"会議のお知らせ"},
        {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxyz", tip62 + L"x"},
        {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\xf0\x9f\x93\xa7!", tip62},
    };
    for (const auto& [tip, wide] : tips) {
        EXPECT_TRUE(icon.SetTipText(tip));
        EXPECT_EQ(m_calls.back().message, DWORD{NIM_MODIFY});
        EXPECT_EQ(m_calls.back().data.uFlags, UINT{NIF_TIP});
        EXPECT_EQ(std::wstring(m_calls.back().data.szTip), wide);
    }
    EXPECT_EQ(icon.GetTipText(), std::string(62, 'x'));
    EXPECT_TRUE(icon.SetIcon(m_mail));
    ASSERT_EQ(m_calls.size(), 5u);
    EXPECT_EQ(m_calls[4].message, DWORD{NIM_MODIFY});
    EXPECT_EQ(m_calls[4].data.uFlags, UINT{NIF_ICON});
    EXPECT_EQ(m_calls[4].data.hIcon, m_mail);

    icon.Remove();
    icon.Remove();
    ASSERT_EQ(m_calls.size(), 6u);
    EXPECT_EQ(m_calls[5].message, DWORD{NIM_DELETE});
    EXPECT_TRUE(PumpUntil([] { return TrayIcon() == nullptr; }));
    EXPECT_TRUE(refused());
    EXPECT_EQ(m_calls.size(), 6u);
}

TEST_F(TrayTest, AnimatesInOrderAndANewTaskbarGetsAShownIconBackUntilItIsDestroyed) {
    auto icon = std::make_unique<CTrayNotifyIcon>();
    const char tip[] = "Checking mail...";
    ASSERT_TRUE(icon->Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    constexpr UINT kDelay = 80;
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(icon->Animate(m_spin, 4, kDelay));
    ASSERT_TRUE(icon->SetTipText(tip));
    EXPECT_EQ(PicturesFrom(1), Pictures{m_spin[0]}); // at once, before any tick
    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(1).size() >= 6; }));
    const HICON* spin = m_spin;
    EXPECT_EQ(PicturesFrom(1), (Pictures{spin[0], spin[1], spin[2], spin[3], spin[0], spin[1]}));
    EXPECT_GE(::GetTickCount() - start, 5 * kDelay - 40); // one step per delay
    m_calls.clear(); // a new taskbar gets the icon back as it is now
    BroadcastTaskbarCreated();
    ASSERT_EQ(m_calls.size(), 2u);
    EXPECT_EQ(m_calls[0].message, DWORD{NIM_DELETE});
    ExpectAdd(m_calls[1], spin[1], tip);

    // Stopped at index 1: going on instead of starting over would show m_mail second.
    m_calls.clear();
    const HICON second[] = {m_mail, m_noMail};
    ASSERT_TRUE(icon->Animate(second, 2, kDelay));
    ASSERT_TRUE(PumpUntil([&] { return PicturesFrom(0).size() >= 4; }));
    EXPECT_EQ(PicturesFrom(0), (Pictures{m_mail, m_noMail, m_mail, m_noMail}));
    ASSERT_TRUE(icon->SetIcon(m_mail));
    EXPECT_FALSE(Exists(kAnimationTitle)) << "its timer ticks on";

    // Hidden, it stays out of a new taskbar; shown again, it comes back whole.
    m_calls.clear();
    icon->Hide();
    icon->Hide();
    BroadcastTaskbarCreated();
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls.back().message, DWORD{NIM_DELETE});
    icon->Show();
    icon->Show();
    ASSERT_EQ(m_calls.size(), 2u);
    ExpectAdd(m_calls.back(), m_mail, tip);

    // Both hidden windows are closed before the icon leaves; nothing answers afterwards.
    ASSERT_TRUE(icon->Animate(m_spin, 4, 50));
    m_calls.clear();
    icon.reset();
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].message, DWORD{NIM_DELETE});
    EXPECT_FALSE(m_calls[0].animationWndAlive);
    EXPECT_FALSE(m_calls[0].resurrectionWndAlive);
    BroadcastTaskbarCreated();
    EXPECT_EQ(m_calls.size(), 1u);
}

TEST_F(TrayTest, HiddenWindowsClosedByAnotherProgramAreForgotten) {
    auto icon = std::make_unique<CTrayNotifyIcon>();
    ASSERT_TRUE(icon->Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
    ASSERT_TRUE(icon->Animate(m_spin, 4, 50));
    ::SendMessageA(::FindWindowA(nullptr, kAnimationTitle), WM_CLOSE, 0, 0);
    ::SendMessageA(::FindWindowA(nullptr, kResurrectionTitle), WM_CLOSE, 0, 0);
    EXPECT_FALSE(icon->IsAnimated());
    EXPECT_EQ(m_spin[0], icon->GetIcon());
    EXPECT_TRUE(icon->SetIcon(m_mail));
    m_calls.clear();
    icon.reset();
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].message, DWORD{NIM_DELETE});
}

} // namespace

namespace {

TEST_F(TrayTest, AnIconMadeBeforeTheTaskbarArrivesWithItOrByItsOwnTriesAndThenLivesAsAnyOther) {
    const std::string tip = "Tarnwick - You have 2 messages waiting.";
    for (const bool announced : {true, false}) {
        s_noTaskbar = true;
        auto icon = std::make_unique<CTrayNotifyIcon>();
        EXPECT_TRUE(icon->Create(&m_owner, IDR_TRAY_MENU, "Tarnwick", m_noMail, WM_TRAY_NOTIFY));
        EXPECT_TRUE(icon->IsWaitingForTaskbar());
        // The program goes on meanwhile; its changes wait in the record.
        EXPECT_TRUE(icon->SetIcon(m_mail));
        EXPECT_TRUE(icon->SetTipText(tip.c_str()));
        EXPECT_EQ(TrayIcon(), nullptr);

        s_noTaskbar = false;
        m_calls.clear();
        if (announced) // Wine never announces its taskbar: the test does it for the shell
            BroadcastTaskbarCreated();
        ASSERT_TRUE(PumpUntil([] { return TrayIcon() != nullptr; }, 8000)) << announced;
        EXPECT_FALSE(icon->IsWaitingForTaskbar());
        const auto add = std::find_if(m_calls.begin(), m_calls.end(),
                                      [](const ShellCall& c) { return c.message == NIM_ADD; });
        ASSERT_NE(add, m_calls.end());
        ExpectAdd(*add, m_mail, tip.c_str());

        m_calls.clear();
        EXPECT_TRUE(icon->SetIcon(m_noMail));
        ASSERT_EQ(m_calls.size(), 1u);
        EXPECT_EQ(m_calls[0].message, DWORD{NIM_MODIFY});
        EXPECT_TRUE(m_calls[0].result);
        icon.reset(); // as at Exit: no icon is left behind
        EXPECT_TRUE(PumpUntil([] { return TrayIcon() == nullptr; }));
    }
}

} // namespace
