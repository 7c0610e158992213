#include "about/about_dlg.h"
#include "about/credit_static.h"
#include "about/credits_dlg.h"
#include "framework/gdi.h"
#include "framework_test_support.h"
#include "res/maker.h"
#include "res/resource.h"
#include "support/scripted_http_server.h"
#include "update/auto_update_client.h"
#include "update/auto_update_dlg.h"
#include "update/update_check.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The client area of a window as the screen shows it, row by row.
struct Frame {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Frame Capture(HWND window) {
    Frame frame;
    RECT client = {};
    ::GetClientRect(window, &client);
    frame.width = client.right;
    frame.height = client.bottom;
    CClientDC dc(window);
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            frame.pixels.push_back(::GetPixel(dc, x, y));
    return frame;
}

class AboutBox : public ::testing::Test {
protected:
    TempProfile m_profile;
    MessageBoxRecorder m_boxes;
};

// Closes "Thanks" from inside its own modal loop, noting whether its credits were rolling.
std::vector<bool> g_thanksRolling;
void CALLBACK CloseThanks(HWND, UINT, UINT_PTR, DWORD) {
    HWND thanks = ::FindWindowA(nullptr, "Thanks");
    if (thanks == nullptr)
        return;
    auto* credits =
        dynamic_cast<CCreditStatic*>(CWnd::FromHandle(::GetDlgItem(thanks, IDC_CREDITS)));
    g_thanksRolling.push_back(credits != nullptr && credits->IsRolling());
    ::PostMessageA(thanks, WM_COMMAND, IDOK, 0);
}

// The hidden button opens "Thanks" over the box, which stays open for the way out.
TEST_F(AboutBox, ShowsVersionLinksAndThanksAndOnlyItsUpdateButtonAsksForACheck) {
    struct Close {
        const char* how;
        std::function<void(HWND)> press;
        bool update;
    };
    const std::vector<Close> closes = {
        {"OK", [](HWND box) { Click(box, IDC_ABOUT_OK); }, false},
        {"Esc", [](HWND box) { ::SendMessageA(box, WM_COMMAND, IDCANCEL, 0); }, false},
        {"close box", [](HWND box) { ::SendMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
        {"update", [](HWND box) { Click(box, IDC_CHECK_UPDATE); }, true},
    };
    g_thanksRolling.clear();
    const UINT_PTR closer = ::SetTimer(nullptr, 0, 100, &CloseThanks);
    for (const Close& close : closes) {
        CAboutDlg about;
        RunModal(about, {[&] {
                             HWND box = about.GetSafeHwnd();
                             EXPECT_EQ("106", ItemText(box, IDC_VERSION_NUMBER));
                             EXPECT_EQ(TARNWICK_HOME_PAGE, ItemText(box, IDC_HOME_LINK));
                             EXPECT_EQ(TARNWICK_MAIL_ADDRESS, ItemText(box, IDC_MAIL_LINK));
                             Click(box, IDC_CREDITS_BUTTON);
                         },
                         [&] { close.press(about.GetSafeHwnd()); }});
        EXPECT_EQ(close.update, about.IsUpdateRequested()) << close.how;
    }
    ::KillTimer(nullptr, closer);
    EXPECT_EQ(std::vector<bool>(closes.size(), true), g_thanksRolling);
}

// Rolls the credits by hand, one tick at a time, and reads the window back.
void Tick(HWND control, int count) {
    for (int i = 0; i < count; ++i)
        ::SendMessageA(control, WM_TIMER, CCreditStatic::kTimerId, 0);
}

TEST(Credits, ThanksRollsTheTextUpOnePixelPerTickOverBlueFadingToBlack) {
    CCreditsDlg thanks;
    Frame before, after;
    int strip = 0;
    RunModal(thanks, {[&] {
                          HWND control = ::GetDlgItem(thanks.GetSafeHwnd(), IDC_CREDITS);
                          auto* credits = dynamic_cast<CCreditStatic*>(CWnd::FromHandle(control));
                          ASSERT_NE(nullptr, credits);
                          EXPECT_TRUE(credits->IsRolling());
                          // Ticks come from the test from here on, not from the clock.
                          ::KillTimer(control, CCreditStatic::kTimerId);
                          Tick(control, 59); // the title rolled in on ticks 15 to 35
                          before = Capture(control);
                          Tick(control, 1);
                          after = Capture(control);
                          strip = credits->StripWidth();
                      },
                      [&] { Click(thanks.GetSafeHwnd(), IDOK); }});
    ASSERT_GT(before.width, 0);
    const int y = before.height / 2;
    EXPECT_EQ(RGB(0, 0, 255), before.At(0, y));              // band 0: the colour itself
    EXPECT_EQ(RGB(0, 0, 0), before.At(before.width - 1, y)); // band 255: black
    ASSERT_GT(strip, 0);

    // Above the line now rolling in (its text is drawn again each tick), every row of the
    // strip shows what the row below it showed a tick earlier; the red title is among them.
    const int left = (before.width - strip) / 2;
    const int scrolledRows = before.height - 22;
    int red = 0, moved = 0, mismatched = 0;
    for (int row = 0; row < scrolledRows; ++row) {
        for (int x = left; x < left + strip; ++x) {
            red += after.At(x, row) == RGB(255, 0, 0);
            if (before.At(x, row + 1) != after.At(x, row))
                ++mismatched;
            else if (before.At(x, row + 1) != before.At(x, row))
                ++moved;
        }
    }
    EXPECT_GT(red, 0);
    EXPECT_GT(moved, 0);
    EXPECT_EQ(0, mismatched);
}

// Closes the update notice from inside Announce's modal loop, noting its link's text, target.
std::vector<std::string> g_noticeLinks;
void CALLBACK CloseNotice(HWND, UINT, UINT_PTR, DWORD) {
    HWND notice = ::FindWindowA(nullptr, "Automatic Update");
    if (notice == nullptr)
        return;
    auto* link = dynamic_cast<CHyperLink*>(CWnd::FromHandle(::GetDlgItem(notice, IDC_UPDATE_LINK)));
    g_noticeLinks.push_back(ItemText(notice, IDC_UPDATE_LINK));
    g_noticeLinks.push_back(link != nullptr ? link->GetLinkTarget() : "no link");
    ::PostMessageA(notice, WM_COMMAND, IDOK, 0);
}

// One check off this thread, then its announcement on it.
void RunCheck(CUpdateCheckRunner& runner, HWND owner, CUpdateCheckRunner::Kind kind) {
    runner.Start(owner, kind);
    ASSERT_TRUE(PumpUntil([&] { return runner.IsDone(); }, 10000));
    runner.Announce(owner);
}

class UpdateCheck : public AboutBox {
protected:
    UpdateCheck() {
        m_owner.CreateEx(0, nullptr, "Tarnwick", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                         nullptr);
        m_closer = ::SetTimer(nullptr, 0, 50, &CloseNotice);
    }
    ~UpdateCheck() override { ::KillTimer(nullptr, m_closer); }

    CWnd m_owner;
    UINT_PTR m_closer = 0;
};

// A scheduled check speaks only of a newer version; one the user asked for always answers.
TEST_F(UpdateCheck, ANewerVersionIsAnnouncedAndOnlyARequestedCheckAnswersOtherwise) {
    const char* const kNewer = "version=107\r\nurl=http://dl.example.org/t.exe\r\n";
    const char* const kLink = "http://dl.example.org/t.exe";
    const struct {
        CUpdateCheckRunner::Kind kind;
        const char* reply;  // null: nothing listens
        const char* notice; // the notice's link, or null
        std::string box;
    } cases[] = {
        {CUpdateCheckRunner::Scheduled, kNewer, kLink, ""},
        {CUpdateCheckRunner::Scheduled, "version=106\n", nullptr, ""},
        {CUpdateCheckRunner::Requested, "version=107\n", TARNWICK_UPDATE_FILE, ""},
        {CUpdateCheckRunner::Requested, "version=106\n", nullptr, "Tarnwick is up to date."},
        {CUpdateCheckRunner::Requested, nullptr, nullptr,
         "Tarnwick could not check for a newer version.\n\nThe update server could not be "
         "reached."},
    };
    CUpdateCheckRunner runner;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << (c.reply ? c.reply : "refused"));
        g_noticeLinks.clear();
        m_boxes.m_boxes.clear();
        auto server = std::make_unique<testsupport::ScriptedHttpServer>(c.reply ? c.reply : "");
        // The third chance of a scheduled check asks; which chances ask is the client's.
        CAutoUpdateClient seed(server->Address(), "/tarnwick/autoupdate.dat", kProgramVersion, 3);
        seed.m_Activation = c.kind == CUpdateCheckRunner::Scheduled ? 2 : 0;
        seed.Save();
        if (c.reply == nullptr)
            server.reset();
        RunCheck(runner, m_owner, c.kind);
        EXPECT_EQ(c.notice ? std::vector<std::string>(2, c.notice) : std::vector<std::string>{},
                  g_noticeLinks);
        ASSERT_EQ(c.box.empty() ? 0u : 1u, m_boxes.m_boxes.size());
        if (!c.box.empty()) {
            EXPECT_EQ(c.box, m_boxes.m_boxes[0].text);
            EXPECT_EQ(m_owner.GetSafeHwnd(), m_boxes.m_boxes[0].owner);
        }
    }
}

} // namespace
