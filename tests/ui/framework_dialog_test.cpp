#include "framework/data_exchange.h"
#include "framework/dialog.h"
#include "framework_test_ids.h"
#include "framework_test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

constexpr UINT WM_ANSWER = WM_APP + 1;
constexpr UINT WM_THROW = WM_APP + 2;

// A form with a name, a number limited to 1..10, a check box and a later text, exchanged in
// this order.
class Form : public CDialog {
public:
    Form() : CDialog(IDD_FW_FORM) {}

    std::string m_name = "Ada";
    int m_number = 4;
    int m_flag = 1;
    std::string m_later = "unchanged";
    int m_initCalls = 0;
    bool m_clickOkFromInit = false;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, IDC_FW_NAME, m_name);
        DDX_Text(dx, IDC_FW_NUMBER, m_number);
        DDV_MinMaxInt(dx, m_number, 1, 10);
        DDX_Check(dx, IDC_FW_FLAG, m_flag);
        DDX_Text(dx, IDC_FW_LATER, m_later);
    }

    bool OnInitDialog() override {
        ++m_initCalls;
        CDialog::OnInitDialog();
        if (m_clickOkFromInit)
            PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(IDOK)));
        return true;
    }

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_ANSWER)
            return 1234;
        if (msg == WM_THROW)
            throw std::runtime_error("handler failed");
        return CDialog::OnMessage(msg, wParam, lParam);
    }
};

// Ends a modal form that a test left running.
std::function<void()> Abort(Form& form) {
    return [&form] { form.EndDialog(-2); };
}

TEST(FrameworkModalDialog, ShowsFieldsAndTakesEditedValuesOnOk) {
    MessageBoxRecorder boxes;
    Form form;
    std::string shownName, shownNumber;
    int shownFlag = -1;
    ModalDriver driver({[&] {
                           if (form.GetSafeHwnd() == nullptr)
                               return false;
                           shownName = ItemText(form, IDC_FW_NAME);
                           shownNumber = ItemText(form, IDC_FW_NUMBER);
                           shownFlag = static_cast<int>(::IsDlgButtonChecked(form, IDC_FW_FLAG));
                           SetItemText(form, IDC_FW_NAME, "Grace");
                           SetItemText(form, IDC_FW_NUMBER, " 10 ");
                           Click(form, IDC_FW_FLAG);
                           Click(form, IDOK);
                           return true;
                       }},
                       Abort(form));

    EXPECT_EQ(IDOK, form.DoModal());
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ("Ada", shownName);
    EXPECT_EQ("4", shownNumber);
    EXPECT_EQ(BST_CHECKED, shownFlag);
    EXPECT_EQ("Grace", form.m_name);
    EXPECT_EQ(10, form.m_number);
    EXPECT_EQ(0, form.m_flag);
    EXPECT_EQ(1, form.m_initCalls);
    EXPECT_EQ(nullptr, form.GetSafeHwnd());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(FrameworkModalDialog, CancelAndCloseKeepTheFields) {
    MessageBoxRecorder boxes;
    Form form;
    ModalDriver cancel({[&] {
                           if (form.GetSafeHwnd() == nullptr)
                               return false;
                           SetItemText(form, IDC_FW_NAME, "typed");
                           Click(form, IDCANCEL);
                           return true;
                       }},
                       Abort(form));
    EXPECT_EQ(IDCANCEL, form.DoModal());
    EXPECT_EQ("Ada", form.m_name);

    // WM_CLOSE is left to the dialog manager, which turns it into Cancel.
    Form closed;
    ModalDriver close({[&] {
                          if (closed.GetSafeHwnd() == nullptr)
                              return false;
                          closed.SendMessage(WM_CLOSE);
                          return true;
                      }},
                      Abort(closed));
    EXPECT_EQ(IDCANCEL, closed.DoModal());
}

TEST(FrameworkModalDialog, EndsFromItsOwnInitialisationAndWithAnyResult) {
    Form form;
    form.m_clickOkFromInit = true;
    ModalDriver watchdog({}, Abort(form));
    EXPECT_EQ(IDOK, form.DoModal());
    EXPECT_FALSE(watchdog.TimedOut());

    // The same object runs again, with a result of the caller's choosing.
    form.m_clickOkFromInit = false;
    ModalDriver end({[&] {
                        if (form.GetSafeHwnd() == nullptr)
                            return false;
                        form.EndDialog(42);
                        return true;
                    }},
                    Abort(form));
    EXPECT_EQ(42, form.DoModal());
    EXPECT_EQ(2, form.m_initCalls);
}

TEST(FrameworkModalDialog, RefusedRangeKeepsDialogOpenWithFocusOnTheControl) {
    MessageBoxRecorder boxes;
    Form form;
    int focusAfterRefusal = 0;
    bool openAfterRefusal = false;
    std::string laterAfterRefusal;
    ModalDriver driver({[&] {
                            if (form.GetSafeHwnd() == nullptr)
                                return false;
                            SetItemText(form, IDC_FW_NAME, "Grace");
                            SetItemText(form, IDC_FW_NUMBER, "11");
                            SetItemText(form, IDC_FW_LATER, "changed");
                            Click(form, IDOK);
                            return true;
                        },
                        [&] {
                            openAfterRefusal = ::IsWindow(form) != FALSE;
                            focusAfterRefusal = ::GetDlgCtrlID(::GetFocus());
                            laterAfterRefusal = form.m_later;
                            SetItemText(form, IDC_FW_NUMBER, "1");
                            Click(form, IDOK);
                            return true;
                        }},
                       Abort(form));

    EXPECT_EQ(IDOK, form.DoModal());
    EXPECT_TRUE(openAfterRefusal);
    ASSERT_EQ(1u, boxes.Boxes().size());
    const MessageBoxRecorder::Box& box = boxes.Boxes()[0];
    EXPECT_NE(std::string::npos, box.text.find("between 1 and 10")) << box.text;
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), box.flags & MB_ICONMASK);
    EXPECT_NE(nullptr, box.owner);
    // The exchange stopped at the number: the text after it had not been taken.
    EXPECT_EQ("unchanged", laterAfterRefusal);
    EXPECT_EQ(IDC_FW_NUMBER, focusAfterRefusal);
    EXPECT_EQ(1, form.m_number);
    EXPECT_EQ("changed", form.m_later);
}

TEST(FrameworkModalDialog, TextThatIsNotANumberIsRefused) {
    MessageBoxRecorder boxes;
    Form form;
    ModalDriver driver({[&] {
                           if (form.GetSafeHwnd() == nullptr)
                               return false;
                           for (const char* text : {"abc", "", "7x", "99999999999"}) {
                               SetItemText(form, IDC_FW_NUMBER, text);
                               Click(form, IDOK);
                           }
                           form.EndDialog(IDCANCEL);
                           return true;
                       }},
                       Abort(form));

    EXPECT_EQ(IDCANCEL, form.DoModal());
    ASSERT_EQ(4u, boxes.Boxes().size());
    for (const MessageBoxRecorder::Box& box : boxes.Boxes())
        EXPECT_EQ("Please enter an integer.", box.text);
    EXPECT_EQ(4, form.m_number);
}

TEST(FrameworkModelessDialog, LivesUntilEndedAndExchangesBothWays) {
    MessageBoxRecorder boxes;
    Form form;
    ASSERT_TRUE(form.Create());
    HWND hwnd = form.GetSafeHwnd();
    EXPECT_EQ(&form, CWnd::FromHandle(hwnd));
    EXPECT_EQ(1, form.m_initCalls);
    EXPECT_EQ("Ada", ItemText(hwnd, IDC_FW_NAME));
    EXPECT_FALSE(form.Create()) << "one window per object";

    form.m_name = "Lovelace";
    form.m_number = 7;
    ASSERT_TRUE(form.UpdateData(false));
    EXPECT_EQ("Lovelace", ItemText(hwnd, IDC_FW_NAME));
    EXPECT_EQ("7", ItemText(hwnd, IDC_FW_NUMBER));

    SetItemText(hwnd, IDC_FW_NUMBER, "-3");
    EXPECT_FALSE(form.UpdateData(true));
    EXPECT_EQ(1u, boxes.Boxes().size());
    SetItemText(hwnd, IDC_FW_NUMBER, "3");
    SetItemText(hwnd, IDC_FW_LATER, "typed");
    EXPECT_TRUE(form.UpdateData(true));
    EXPECT_EQ(3, form.m_number);
    EXPECT_EQ("typed", form.m_later);

    // OK on a modeless form takes the values and destroys the window.
    SetItemText(hwnd, IDC_FW_NAME, "last");
    form.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(form.GetDlgItem(IDOK)));
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(nullptr, form.GetSafeHwnd());
    EXPECT_EQ(nullptr, CWnd::FromHandle(hwnd));
    EXPECT_EQ("last", form.m_name);

    // A live modeless dialog goes with its object.
    {
        Form scoped;
        ASSERT_TRUE(scoped.Create());
        hwnd = scoped.GetSafeHwnd();
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(FrameworkDialogProcedure, HandledResultsReachTheSenderAndTheRestTheDialogManager) {
    Form form;
    ASSERT_TRUE(form.Create());
    EXPECT_EQ(1234, form.SendMessage(WM_ANSWER));
    // Left to the dialog manager: the caption comes back through default processing.
    char caption[32] = {};
    EXPECT_EQ(4, form.SendMessage(WM_GETTEXT, sizeof(caption), reinterpret_cast<LPARAM>(caption)));
    EXPECT_STREQ("Form", caption);
    // A throwing handler does not unwind through the system; the dialog goes on working.
    EXPECT_EQ(0, form.SendMessage(WM_THROW));
    EXPECT_EQ(1234, form.SendMessage(WM_ANSWER));
    EXPECT_TRUE(form.DestroyWindow());
}

// A control attached by the exchange sees the control's own messages.
class CountingEdit : public CWnd {
public:
    int m_setTextCalls = 0;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SETTEXT)
            ++m_setTextCalls;
        return CWnd::OnMessage(msg, wParam, lParam);
    }
};

class FormWithControl : public Form {
public:
    CountingEdit m_laterEdit;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, IDC_FW_LATER, m_laterEdit);
        Form::DoDataExchange(dx);
    }
};

TEST(FrameworkDataExchange, ControlIsAttachedOnceAndReleasedWithTheDialog) {
    FormWithControl form;
    ASSERT_TRUE(form.Create());
    HWND edit = form.GetDlgItem(IDC_FW_LATER);
    EXPECT_EQ(edit, form.m_laterEdit.GetSafeHwnd());
    EXPECT_EQ(&form.m_laterEdit, CWnd::FromHandle(edit));
    // The initial exchange put the text in after attaching: the object saw it.
    EXPECT_EQ(1, form.m_laterEdit.m_setTextCalls);
    EXPECT_TRUE(form.UpdateData(false));
    EXPECT_EQ(2, form.m_laterEdit.m_setTextCalls);
    EXPECT_EQ("unchanged", form.m_laterEdit.GetWindowText());

    EXPECT_TRUE(form.DestroyWindow());
    EXPECT_EQ(nullptr, form.m_laterEdit.GetSafeHwnd());
}

} // namespace
