// The main window keeps answering while the network or a started program takes its time.
#include "main_window_harness.h"

#include "helpers/named_event.h"
#include "mainwnd/window_messages.h"
#include "res/resource.h"
#include "settings/profile.h"
#include "support/scripted_http_server.h"
#include "update/auto_update_client.h"

TEST_F(MainWindowTest, ASilentUpdateServerNeitherHoldsTheWindowNorItsExit) {
    testsupport::ScriptedHttpServer silent("", true);
    WriteTestProfile("127.0.0.1:1");
    CAutoUpdateClient seed(silent.Address(), "/tarnwick/autoupdate.dat", kProgramVersion, 3);
    seed.m_Activation = 2; // this chance asks the server
    seed.Save();
    auto dlg = std::make_unique<TestDlg>();
    ASSERT_TRUE(dlg->Create());
    {
        AnswerProbe probe(*dlg, 100, 50);
        dlg->PostMessage(WM_TIMER, ID_TIMER_UPDATE); // the ten minutes are up
        probe.PumpUntilAsked(30);
        EXPECT_EQ(0, probe.m_missed) << "the window did not answer within 100 ms";
    }
    EXPECT_TRUE(silent.Requests().empty()) << "the check still waits for the answer";

    const DWORD start = ::GetTickCount();
    dlg->SendMessage(WM_CLOSE);
    dlg.reset();
    EXPECT_LT(::GetTickCount() - start, 2000u);
    EXPECT_TRUE(silent.WaitForClosedConnections(1, 1000)) << "Exit ended the connection";
    EXPECT_TRUE(m_boxes.m_boxes.empty());
}

TEST_F(MainWindowTest, TheMailProgramStartsWithoutTheWindowWaitingForIt) {
    WriteTestProfile("127.0.0.1:1");
    Profile::Application().WriteInt("Notification", "UseDefaultEmail", 0);
    Profile::Application().WriteString("Notification", "EmailClient",
                                       "\"" + ProgramFolder() + "\\quiet_program.exe\" -compose");
    const NamedEvent started(::CreateEventA(nullptr, TRUE, FALSE, kQuietProgramStarted));
    const NamedEvent quit(::CreateEventA(nullptr, TRUE, FALSE, kQuietProgramQuit));
    const LaunchHandler recording = SetLaunchHandler(nullptr); // the real start this time
    {
        TestDlg dlg;
        ASSERT_TRUE(dlg.Create());
        // A wait for the program's first message would last until the program ends, 20 s
        // on. Messages sent from other threads are answered even during such a wait, so the
        // click itself is timed: making a process takes Wine a few hundred milliseconds.
        const DWORD start = ::GetTickCount();
        Click(dlg, IDC_EMAIL_PROG);
        EXPECT_LT(::GetTickCount() - start, 1500u);
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(started.Get(), 5000));
        ::SetEvent(quit.Get());
        EXPECT_TRUE(m_boxes.m_boxes.empty());

        dlg.m_config.m_EmailClient = "\"C:\\nowhere\\missing.exe\"";
        Click(dlg, IDC_EMAIL_PROG);
        ASSERT_EQ(1u, m_boxes.m_boxes.size());
        EXPECT_EQ("Can't launch email application", m_boxes.m_boxes[0].text);
        EXPECT_EQ("Tarnwick Error", m_boxes.m_boxes[0].caption);
    }
    SetLaunchHandler(recording);
}
