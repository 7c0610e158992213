#include "framework/dialog.h"
#include "framework/message_box.h"
#include "framework/win_app.h"
#include "framework_test_support.h"
#include "res/resource.h"
#include "settings/profile.h"

#include <gtest/gtest.h>

namespace {

class TestApp : public CWinApp {
public:
    explicit TestApp(bool runLoop) : CWinApp("Tarnwick Test"), m_runLoop(runLoop) {}
    bool m_runLoop;
    int m_initCalls = 0;
    int m_exitCalls = 0;

    bool InitInstance() override {
        ++m_initCalls;
        return m_runLoop;
    }
    int ExitInstance() override {
        ++m_exitCalls;
        return CWinApp::ExitInstance();
    }
};

class EscapableForm : public CDialog {
public:
    EscapableForm() : CDialog(IDD_AUTOUPDATE) {}
    int m_cancelCalls = 0;

protected:
    void OnCancel() override {
        ++m_cancelCalls;
        CDialog::OnCancel();
    }
};

TEST(FrameworkWinApp, ProfileOperationsUseTheApplicationProfile) {
    TempProfile profile;
    TestApp app(false);
    EXPECT_EQ(&app, AfxGetApp());
    EXPECT_EQ(5, app.GetProfileInt("Notification", "Interval", 5));
    EXPECT_EQ("", app.GetProfileString("MailSettings", "User name"));
    EXPECT_EQ("dflt", app.GetProfileString("MailSettings", "User name", "dflt"));

    EXPECT_TRUE(app.WriteProfileInt("Notification", "Interval", 12));
    EXPECT_TRUE(app.WriteProfileString("MailSettings", "Mail server", " pop.example.org "));
    EXPECT_EQ(12, Profile::Application().GetInt("Notification", "Interval", 0));
    EXPECT_EQ(" pop.example.org ", app.GetProfileString("MailSettings", "Mail server"));
    // The same key in another section is another value.
    EXPECT_EQ(3, app.GetProfileInt("AutoUpdate", "Interval", 3));
}

TEST(FrameworkWinApp, WinMainSkipsTheLoopWhenInitialisationSaysSo) {
    TestApp app(false);
    EXPECT_EQ(0, AfxWinMain());
    EXPECT_EQ(1, app.m_initCalls);
    EXPECT_EQ(1, app.m_exitCalls);
}

TEST(FrameworkWinApp, LoopGivesModelessDialogsTheirKeysAndEndsAtQuit) {
    TestApp app(true);
    EscapableForm form;
    ASSERT_TRUE(form.Create());
    // Escape typed on the form's OK button reaches the dialog as Cancel only through the
    // dialog keyboard handling of the loop.
    ::PostMessageA(form.GetDlgItem(IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostQuitMessage(7);

    EXPECT_EQ(7, AfxWinMain());
    EXPECT_EQ(1, form.m_cancelCalls);
    EXPECT_EQ(nullptr, form.GetSafeHwnd());
    EXPECT_EQ(1, app.m_exitCalls);
}

TEST(FrameworkMessageBox, SeamSeesEveryBoxAndTheFrameworkCaptionsWithTheAppName) {
    MessageBoxRecorder boxes(IDNO);
    HWND owner = reinterpret_cast<HWND>(0x1234);
    EXPECT_EQ(IDNO, ShowMessageBox(owner, "Delete it?", "Tarnwick - Confirmation",
                                   MB_YESNO | MB_ICONQUESTION));
    {
        TestApp app(false);
        EXPECT_EQ(IDNO, AfxMessageBox("Framework says", MB_OK | MB_ICONEXCLAMATION, owner));
    }
    AfxMessageBox("No application", MB_OK, owner);

    ASSERT_EQ(3u, boxes.Boxes().size());
    EXPECT_EQ(owner, boxes.Boxes()[0].owner);
    EXPECT_EQ("Delete it?", boxes.Boxes()[0].text);
    EXPECT_EQ("Tarnwick - Confirmation", boxes.Boxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes.Boxes()[0].flags);
    EXPECT_EQ("Tarnwick Test", boxes.Boxes()[1].caption);
    EXPECT_EQ("ui_tests", boxes.Boxes()[2].caption);

    // A nested recorder takes over and gives the outer one back when it goes.
    {
        MessageBoxRecorder inner;
        ShowMessageBox(nullptr, "inner", "c", MB_OK);
        EXPECT_EQ(1u, inner.Boxes().size());
    }
    ShowMessageBox(nullptr, "outer", "c", MB_OK);
    EXPECT_EQ(4u, boxes.Boxes().size());
}

} // namespace
