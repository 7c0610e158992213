#include "framework/data_exchange.h"
#include "framework/dialog.h"
#include "framework/win_app.h"
#include "framework_test_support.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr UINT WM_ANSWER = WM_APP + 1;
constexpr UINT WM_THROW = WM_APP + 2;

// A dialog over one of the program's templates, with the exchange each test gives it.
class Form : public CDialog {
public:
    using Exchange = std::function<void(CDataExchange*)>;
    Form(UINT templateId, Exchange exchange)
        : CDialog(templateId), m_exchange(std::move(exchange)) {}

protected:
    void DoDataExchange(CDataExchange* dx) override { m_exchange(dx); }
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_THROW)
            throw std::runtime_error("handler failed");
        if (msg == WM_SETTEXT) {
            const LRESULT result = Default();
            m_titleAfterDefault = GetWindowText();
            return result;
        }
        return msg == WM_ANSWER ? 1234 : CDialog::OnMessage(msg, wParam, lParam);
    }

public:
    std::string m_titleAfterDefault;

private:
    Exchange m_exchange;
};

// Answers WM_ANSWER only when the control's messages reach the object.
class AttachedEdit : public CWnd {
protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        return msg == WM_ANSWER ? 4321 : CWnd::OnMessage(msg, wParam, lParam);
    }
};

TEST(FrameworkModalDialog, RefusesBadNumbersInPlaceTakesTheValueOnOkAndNotOnCancel) {
    const CWinApp app("Tarnwick Test"); // the boxes' caption
    MessageBoxRecorder boxes;
    int number = 4;
    // Ranges and an exchange stopping at its first refusal: the configuration sheet's test.
    Form form(IDD_AUTOUPDATE, [&](CDataExchange* dx) {
        DDX_Text(dx, IDC_UPDATE_LINK, number);
        DDV_MinMaxInt(dx, number, 1, 10);
    });
    auto refuse = [&] {
        EXPECT_EQ("4", ItemText(form, IDC_UPDATE_LINK));
        for (const char* text : {"abc", "", "7x", "99999999999"}) {
            SetItemText(form, IDC_UPDATE_LINK, text);
            Click(form, IDOK);
        }
        EXPECT_EQ(IDC_UPDATE_LINK, ::GetDlgCtrlID(::GetFocus()));
        EXPECT_EQ(4, number) << "text that is no number leaves the field alone";
    };
    auto accept = [&] { // a tick later: still open
        SetItemText(form, IDC_UPDATE_LINK, " 10 ");
        Click(form, IDOK);
    };
    EXPECT_EQ(IDOK, RunModal(form, {refuse, accept}));
    EXPECT_EQ(10, number);
    ASSERT_EQ(4u, boxes.m_boxes.size());
    for (const MessageBoxRecorder::Box& box : boxes.m_boxes) {
        EXPECT_EQ("Please enter an integer.", box.text);
        EXPECT_EQ("Tarnwick Test", box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), box.flags & MB_ICONMASK);
        EXPECT_NE(nullptr, box.owner);
    }

    // The same object runs again; Cancel leaves the field alone.
    EXPECT_EQ(IDCANCEL, RunModal(form, {[&] {
                                     SetItemText(form, IDC_UPDATE_LINK, "7");
                                     Click(form, IDCANCEL);
                                 }}));
    EXPECT_EQ(10, number);
}

TEST(FrameworkModelessDialog, ExchangesBothWaysThroughAnAttachedControlAndGoesWithItsObject) {
    MessageBoxRecorder boxes;
    AttachedEdit edit;
    std::string text = "Ada";
    Form form(IDD_SUMMARY_POPUP, [&](CDataExchange* dx) {
        DDX_Control(dx, IDC_SUMMARY_TEXT, edit);
        DDX_Text(dx, IDC_SUMMARY_TEXT, text);
    });
    ASSERT_TRUE(form.Create());
    const HWND hwnd = form;
    EXPECT_EQ(4321, ::SendMessageA(form.GetDlgItem(IDC_SUMMARY_TEXT), WM_ANSWER, 0, 0));
    EXPECT_EQ("Ada", ItemText(hwnd, IDC_SUMMARY_TEXT));
    SetItemText(hwnd, IDC_SUMMARY_TEXT, "typed");
    EXPECT_TRUE(form.UpdateData(true));
    text += "!";
    EXPECT_TRUE(form.UpdateData(false));
    EXPECT_EQ("typed!", edit.GetWindowText());
    // A throwing handler does not unwind through the system; the dialog goes on working.
    EXPECT_EQ(0, form.SendMessage(WM_THROW));
    EXPECT_EQ(1234, form.SendMessage(WM_ANSWER));
    // Default() in a dialog has done the system's work by the time it returns.
    form.SetWindowText("Retitled");
    EXPECT_EQ("Retitled", form.m_titleAfterDefault);

    // Enter (OK without a button) takes the values and destroys the window.
    SetItemText(hwnd, IDC_SUMMARY_TEXT, "last");
    form.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ("last", text);
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(nullptr, CWnd::FromHandle(hwnd));
    EXPECT_EQ(nullptr, edit.GetSafeHwnd());
    EXPECT_TRUE(boxes.m_boxes.empty());

    HWND scoped = nullptr;
    {
        Form other(IDD_AUTOUPDATE, [](CDataExchange*) {});
        ASSERT_TRUE(other.Create());
        scoped = other;
    }
    EXPECT_FALSE(::IsWindow(scoped)) << "a live modeless dialog goes with its object";
}

} // namespace

TEST(FrameworkModalDialog, AModelessDialogKeepsItsKeyboardWhileAModalOneRuns) {
    Form modal(IDD_CREDITS, [](CDataExchange*) {});
    Form modeless(IDD_ABOUTBOX, [](CDataExchange*) {});
    HWND first = nullptr;
    RunModal(modal, {[&] {
                         ASSERT_TRUE(modeless.Create());
                         first = modeless.GetDlgItem(IDC_ABOUT_OK);
                         ::SetFocus(first);
                         ::PostMessageA(first, WM_KEYDOWN, VK_TAB, 0);
                     },
                     [&] {
                         EXPECT_NE(first, ::GetFocus()) << "Tab did not move the focus";
                         EXPECT_TRUE(::IsChild(modeless, ::GetFocus()));
                         ::PostMessageA(modal, WM_COMMAND, IDCANCEL, 0);
                     }});
}
