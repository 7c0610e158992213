#include "about/hyper_link.h"
#include "framework/gdi.h"
#include "framework_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255), kTeal = RGB(0, 128, 128), kPurple = RGB(128, 0, 128);
const char kTarget[] = "http://tarnwick.example.org/";

class HyperLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_parent.CreateEx(0, nullptr, "links", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30,
                                      500, 300, nullptr, nullptr));
        ::SetForegroundWindow(m_parent);
        m_previous = CHyperLink::SetOpener([this](const std::string& target, int show) {
            m_opened.push_back(target);
            EXPECT_EQ(SW_SHOW, show);
            return m_result;
        });
    }
    void TearDown() override { CHyperLink::SetOpener(std::move(m_previous)); }

    HWND MakeStatic(const char* text, DWORD style, int y) {
        HWND control = ::CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, 10, y,
                                         300, 20, m_parent, nullptr, CWnd::Instance(), nullptr);
        ::SendMessageA(control, WM_SETFONT,
                       reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        return control;
    }
    // The colour the parent's control-colour message gives the link's text.
    COLORREF Colour(const CHyperLink& link) {
        CMemoryDC dc(nullptr);
        const LRESULT brush =
            m_parent.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)),
                                 reinterpret_cast<LPARAM>(link.GetSafeHwnd()));
        EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)), brush);
        EXPECT_EQ(TRANSPARENT, ::GetBkMode(dc));
        return ::GetTextColor(dc);
    }
    static SIZE TextExtent(HWND control) {
        CClientDC dc(control);
        CSelectObject font(dc,
                           reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
        const std::string text = CWnd::GetWindowTextOf(control);
        SIZE size = {};
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size;
    }
    // The tip text registered for the link, whichever tooltip window holds it.
    static std::string TipText(HWND link) {
        for (HWND tip = ::FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); tip != nullptr;
             tip = ::FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) {
            char text[256] = {};
            TTTOOLINFOA info = {TTTOOLINFOA_V2_SIZE};
            info.hwnd = link;
            info.uId = 1;
            info.lpszText = text;
            ::SendMessageA(tip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&info));
            if (text[0] != '\0')
                return text;
        }
        return std::string();
    }
    static void Mouse(const CHyperLink& link, UINT msg, int x, int y) {
        link.SendMessage(msg, msg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
    }

    CWnd m_parent;
    std::vector<std::string> m_opened;
    int m_result = 42;
    MessageBoxRecorder m_boxes;

private:
    CHyperLink::Opener m_previous;
};

TEST_F(HyperLinkTest, TextAndTargetFillInForEachOtherAndTheWindowFitsTheText) {
    CHyperLink ownText;
    ASSERT_TRUE(ownText.SubclassWindow(MakeStatic(kTarget, SS_LEFT, 10)));
    EXPECT_EQ(kTarget, ownText.GetLinkTarget());
    EXPECT_EQ(kTarget, TipText(ownText));
    ownText.SetLinkTarget("mailto:ann@example.org");
    EXPECT_EQ("mailto:ann@example.org", TipText(ownText));
    EXPECT_EQ(kTarget, ownText.GetWindowText()); // the text stays
    // The window shrinks to the text (every link of the program is left-aligned).
    const SIZE text = TextExtent(ownText);
    RECT rect = {};
    ::GetWindowRect(ownText, &rect);
    ::MapWindowPoints(nullptr, m_parent, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(10, rect.left);
    EXPECT_EQ(text.cx, rect.right - rect.left);
    EXPECT_EQ(text.cy, rect.bottom - rect.top);

    CHyperLink ownTarget;
    ownTarget.SetLinkTarget("http://b.example.org/");
    ASSERT_TRUE(ownTarget.SubclassWindow(MakeStatic("", SS_LEFT, 40)));
    EXPECT_EQ("http://b.example.org/", ownTarget.GetWindowText());

    // The link font is the control's font, underlined.
    LOGFONTA font = {};
    ::GetObjectA(reinterpret_cast<HFONT>(ownText.SendMessage(WM_GETFONT)), sizeof(font), &font);
    EXPECT_EQ(1, font.lfUnderline);
    EXPECT_EQ(::LoadCursorA(nullptr, IDC_HAND) != nullptr,
              CHyperLink::GetPointerShape() != nullptr);
}

TEST_F(HyperLinkTest, PressAndReleaseOrSpaceOpensAndColoursFollowTheState) {
    CHyperLink link;
    ASSERT_TRUE(link.SubclassWindow(MakeStatic(kTarget, SS_LEFT | WS_TABSTOP, 10)));
    EXPECT_EQ(kBlue, Colour(link));

    Mouse(link, WM_MOUSEMOVE, 3, 3);
    EXPECT_EQ(link.GetSafeHwnd(), ::GetCapture());
    Mouse(link, WM_LBUTTONDOWN, 3, 3);
    EXPECT_EQ(link.GetSafeHwnd(), ::GetFocus());
    EXPECT_TRUE(m_opened.empty()); // not on the press
    Mouse(link, WM_LBUTTONUP, 3, 3);
    EXPECT_EQ(std::vector<std::string>{kTarget}, m_opened);
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(kTeal, Colour(link)); // focused beats visited
    ::SetFocus(m_parent);
    EXPECT_EQ(kPurple, Colour(link));

    // Pressed on the link, released outside: the capture went as the pointer left, so the
    // release reaches another window.
    Mouse(link, WM_MOUSEMOVE, 3, 3);
    Mouse(link, WM_LBUTTONDOWN, 3, 3);
    Mouse(link, WM_MOUSEMOVE, -20, 40);
    EXPECT_EQ(nullptr, ::GetCapture());
    m_parent.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(0, 60));
    EXPECT_EQ(1u, m_opened.size());

    ::SetFocus(link);
    link.SendMessage(WM_KEYDOWN, VK_RETURN, 0);
    link.SendMessage(WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(1u, m_opened.size());
    link.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(2u, m_opened.size());
}

TEST_F(HyperLinkTest, FailureShowsTheReasonAndLeavesTheLinkUnvisited) {
    CHyperLink link;
    ASSERT_TRUE(link.SubclassWindow(MakeStatic("C:\\missing.xyz", SS_LEFT, 10)));
    for (const auto& [code, reason] : std::vector<std::pair<int, std::string>>{
             {31, "There is no application associated\nwith the given filename extension."},
             {7, "Unknown Error (7) occurred."}}) {
        m_result = code;
        link.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
        ASSERT_FALSE(m_boxes.m_boxes.empty());
        EXPECT_EQ("Can't open link:\n\n" + reason, m_boxes.m_boxes.back().text);
        EXPECT_EQ(UINT(MB_ICONEXCLAMATION), m_boxes.m_boxes.back().flags);
    }
    EXPECT_EQ(2u, m_boxes.m_boxes.size());
    EXPECT_FALSE(link.IsVisited());
}

TEST(HyperLinkFallback, CommandLineCutsAtThePlaceholderAndQuotesTheTarget) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"C:\\web\\browser.exe \"%1\"", "http://a.example/",
         "C:\\web\\browser.exe  \"http://a.example/\""},
        {"browser.exe %1 -new", "http://a.example/", "browser.exe  \"http://a.example/\""},
        {"browser.exe \"%1\"", "C:\\dir\\", "browser.exe  \"C:\\dir\\\\\""},
        {"browser.exe \"%1\"", "http://a.example/\" & calc", ""},
    };
    for (const auto& [registered, target, expected] : cases)
        EXPECT_EQ(expected, CHyperLink::FallbackCommand(registered, target)) << target;
}

} // namespace
