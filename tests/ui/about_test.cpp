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

#include <cctype>
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
    CClientDC screen(window);
    CMemoryDC copy(screen);
    CBitmap bitmap(::CreateCompatibleBitmap(screen, frame.width, frame.height));
    {
        CSelectObject selected(copy, bitmap);
        ::BitBlt(copy, 0, 0, frame.width, frame.height, screen, 0, 0, SRCCOPY);
    }
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), frame.width, -frame.height, 1, 32, BI_RGB};
    std::vector<RGBQUAD> raw(static_cast<size_t>(frame.width * frame.height));
    ::GetDIBits(copy, bitmap, 0, static_cast<UINT>(frame.height), raw.data(), &info,
                DIB_RGB_COLORS);
    for (const RGBQUAD& q : raw)
        frame.pixels.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
    return frame;
}

class AboutBox : public ::testing::Test {
protected:
    TempProfile m_profile;
    MessageBoxRecorder m_boxes;
};

TEST_F(AboutBox, ShowsVersionMarkerDonationAndLinksAndOnlyItsUpdateButtonAsksForACheck) {
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
    for (const Close& close : closes) {
        CAboutDlg about;
        RunModal(about, {[&] {
                             HWND box = about.GetSafeHwnd();
                             EXPECT_EQ("106", ItemText(box, IDC_VERSION_NUMBER));
                             EXPECT_EQ("R", ItemText(box, IDC_BUILD_MARKER));
                             // The edit control may show it in capitals.
                             std::string donation = ItemText(box, IDC_DONATION_TEXT);
                             for (char& c : donation)
                                 c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                             EXPECT_EQ(0u, donation.find("THIS PROGRAM IS A RORADIDEZ. \r\n"));
                             EXPECT_NE(std::string::npos, donation.find("ANTI-RACISM"));
                             EXPECT_EQ(TARNWICK_HOME_PAGE, ItemText(box, IDC_HOME_LINK));
                             EXPECT_EQ(TARNWICK_MAIL_ADDRESS, ItemText(box, IDC_MAIL_LINK));
                         },
                         [&] { close.press(about.GetSafeHwnd()); }});
        EXPECT_EQ(close.update, about.IsUpdateRequested()) << close.how;
    }
}

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

TEST_F(AboutBox, HiddenButtonOpensThanksAndTheBoxStaysOpen) {
    CAboutDlg about;
    g_thanksRolling.clear();
    const UINT_PTR closer = ::SetTimer(nullptr, 0, 100, &CloseThanks);
    RunModal(about, {[&] { Click(about.GetSafeHwnd(), IDC_CREDITS_BUTTON); },
                     [&] { EXPECT_TRUE(::IsWindowVisible(about.GetSafeHwnd())); },
                     [&] { Click(about.GetSafeHwnd(), IDC_ABOUT_OK); }});
    ::KillTimer(nullptr, closer);
    EXPECT_EQ(std::vector<bool>{true}, g_thanksRolling);
    EXPECT_FALSE(about.IsUpdateRequested());
}

// Rolls the credits by hand, one tick at a time, and reads the window back.
class Credits : public ::testing::Test {
protected:
    static void Tick(HWND control, int count) {
        for (int i = 0; i < count; ++i)
            ::SendMessageA(control, WM_TIMER, CCreditStatic::kTimerId, 0);
    }
};

TEST_F(Credits, ThanksRollsTheTextUpOnePixelPerTickOverBlueFadingToBlack) {
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

TEST_F(AboutBox, UpdateNoticeShowsTheAddressOrTheUpdateFile) {
    for (const auto& [given, shown] : std::vector<std::pair<std::string, std::string>>{
             {"http://dl.example.org/t107.exe", "http://dl.example.org/t107.exe"},
             {"", TARNWICK_UPDATE_FILE}}) {
        CAutoUpdateDlg notice(given);
        RunModal(notice, {[&] {
                              HWND box = notice.GetSafeHwnd();
                              EXPECT_EQ(shown, ItemText(box, IDC_UPDATE_LINK));
                              auto* link = dynamic_cast<CHyperLink*>(
                                  CWnd::FromHandle(::GetDlgItem(box, IDC_UPDATE_LINK)));
                              ASSERT_NE(nullptr, link);
                              EXPECT_EQ(shown, link->GetLinkTarget());
                          },
                          [&] { Click(notice.GetSafeHwnd(), IDCANCEL); }});
    }
}

// Closes the update notice from inside Announce's modal loop, noting its link.
std::vector<std::string> g_noticeLinks;
void CALLBACK CloseNotice(HWND, UINT, UINT_PTR, DWORD) {
    HWND notice = ::FindWindowA(nullptr, "Automatic Update");
    if (notice == nullptr)
        return;
    g_noticeLinks.push_back(ItemText(notice, IDC_UPDATE_LINK));
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
        g_noticeLinks.clear();
        m_closer = ::SetTimer(nullptr, 0, 50, &CloseNotice);
    }
    ~UpdateCheck() override { ::KillTimer(nullptr, m_closer); }
    static void Seed(const std::string& server, int activation) {
        CAutoUpdateClient seed(server, "/tarnwick/autoupdate.dat", kProgramVersion, 3);
        seed.m_Activation = activation;
        seed.Save();
    }

    CWnd m_owner;
    UINT_PTR m_closer = 0;
};

TEST_F(UpdateCheck, AScheduledCheckSpeaksOnlyOfANewerVersion) {
    testsupport::ScriptedHttpServer server("version=107\r\nurl=http://dl.example.org/t.exe\r\n");
    Seed(server.Address(), 2); // which chances ask is the client's, tested natively
    CUpdateCheckRunner runner;
    RunCheck(runner, m_owner, CUpdateCheckRunner::Scheduled); // the third: checks, announces
    EXPECT_EQ(std::vector<std::string>{"http://dl.example.org/t.exe"}, g_noticeLinks);
    EXPECT_EQ(0, Profile::Application().GetInt("AutoUpdate", "Activation", -1));
    ASSERT_TRUE(server.WaitForClosedConnections(1, 5000));
    EXPECT_EQ(1u, server.Requests().size());

    testsupport::ScriptedHttpServer same("version=106\n");
    Seed(same.Address(), 2);
    RunCheck(runner, m_owner, CUpdateCheckRunner::Scheduled);
    ASSERT_TRUE(same.WaitForClosedConnections(1, 5000));
    EXPECT_TRUE(m_boxes.m_boxes.empty()) << "a scheduled check that finds nothing stays silent";
    EXPECT_EQ(1u, g_noticeLinks.size());
}

TEST_F(UpdateCheck, ACheckTheUserAskedForAlwaysEndsInAnAnswer) {
    CUpdateCheckRunner runner;
    {
        testsupport::ScriptedHttpServer newer("version=107\nurl=http://dl.example.org/n.exe\n");
        Seed(newer.Address(), 0);
        RunCheck(runner, m_owner, CUpdateCheckRunner::Requested);
        EXPECT_EQ(std::vector<std::string>{"http://dl.example.org/n.exe"}, g_noticeLinks);
        EXPECT_TRUE(m_boxes.m_boxes.empty());
    }
    {
        testsupport::ScriptedHttpServer same("version=106\n");
        Seed(same.Address(), 0);
        RunCheck(runner, m_owner, CUpdateCheckRunner::Requested);
        ASSERT_EQ(1u, m_boxes.m_boxes.size());
        EXPECT_EQ("Tarnwick is up to date.", m_boxes.m_boxes[0].text);
        EXPECT_EQ(m_owner.GetSafeHwnd(), m_boxes.m_boxes[0].owner);
    }
    std::string refusing;
    {
        testsupport::ScriptedHttpServer gone("");
        refusing = gone.Address();
    } // nothing listens there any more
    Seed(refusing, 0);
    RunCheck(runner, m_owner, CUpdateCheckRunner::Requested);
    ASSERT_EQ(2u, m_boxes.m_boxes.size());
    EXPECT_EQ("Tarnwick could not check for a newer version.\n\nThe update server could not be "
              "reached.",
              m_boxes.m_boxes[1].text);
    EXPECT_EQ(1u, g_noticeLinks.size());
    EXPECT_EQ(1, Profile::Application().GetInt("AutoUpdate", "Activation", -1));
}

} // namespace
