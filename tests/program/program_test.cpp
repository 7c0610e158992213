// The real tarnwick.exe, started as its own process with a prepared profile.
#include "main_window_harness.h"

#include "res/resource.h"
#include "settings/profile.h"

#include <commctrl.h>

#include <functional>
#include <vector>

namespace {

// Gives the program's own profile file to the test and puts the previous one back.
class ProgramProfile {
public:
    ProgramProfile() : m_path(Profile::DefaultPath()), m_backup(m_path + ".test-backup") {
        m_hadFile = ::MoveFileExA(m_path.c_str(), m_backup.c_str(), MOVEFILE_REPLACE_EXISTING);
        Profile::UseFile(m_path);
    }
    ~ProgramProfile() {
        Profile::UseFile(m_previous);
        ::DeleteFileA(m_path.c_str());
        if (m_hadFile)
            ::MoveFileExA(m_backup.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    ProgramProfile(const ProgramProfile&) = delete;
    ProgramProfile& operator=(const ProgramProfile&) = delete;

private:
    std::string m_path, m_backup, m_previous = Profile::Application().Path();
    bool m_hadFile = false;
};

// The program beside the tests: the test executable lies in build/tests, it in build/src.
class Process {
public:
    explicit Process(const std::string& arguments = "") {
        std::string commandLine = "\"" + ProgramFolder() + "\\..\\src\\tarnwick.exe\"" + arguments;
        STARTUPINFOA startup = {sizeof(startup)};
        m_started = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &startup, &m_info) != FALSE;
    }
    ~Process() {
        if (!m_started)
            return;
        if (::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_info.hProcess, 1);
        ::CloseHandle(m_info.hThread);
        ::CloseHandle(m_info.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return m_started; }
    DWORD Id() const { return m_info.dwProcessId; }
    bool WaitForExit(DWORD ms) const {
        return ::WaitForSingleObject(m_info.hProcess, ms) == WAIT_OBJECT_0;
    }

private:
    PROCESS_INFORMATION m_info = {};
    bool m_started = false;
};

// What `find` finds once it shows, or null after the program's first check has had time enough.
HWND WaitFor(const std::function<HWND()>& find) {
    HWND window = nullptr;
    PumpUntil(
        [&] {
            window = find();
            return window != nullptr;
        },
        30000);
    return window;
}

// The icons Wine shows, each a child of its "Wine System Tray" window.
int CountTrayIcons() {
    int count = 0;
    for (HWND icon = ::GetWindow(::FindWindowA(nullptr, "Wine System Tray"), GW_CHILD);
         icon != nullptr; icon = ::GetWindow(icon, GW_HWNDNEXT))
        ++count;
    return count;
}

// The process's visible main dialog, once it shows.
HWND WaitForMainWindowOf(DWORD process) {
    return WaitFor([process] {
        for (HWND w = ::FindWindowExA(nullptr, nullptr, "#32770", nullptr); w != nullptr;
             w = ::FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == process && ::IsWindowVisible(w) && ::GetWindow(w, GW_OWNER) == nullptr)
                return w;
        }
        return HWND{};
    });
}

bool ExitProgram(HWND window, const Process& program) {
    ::PostMessageA(window, WM_COMMAND, ID_TRAY_EXIT, 0);
    return program.WaitForExit(15000);
}

// Starts the program, lets `use` act on its window, then ends it with Exit.
void RunProgram(const std::function<void(HWND)>& use) {
    Process program;
    ASSERT_TRUE(program.Started());
    const HWND window = WaitForMainWindowOf(program.Id());
    ASSERT_NE(nullptr, window);
    use(window);
    ASSERT_TRUE(ExitProgram(window, program));
}

} // namespace

// Its check at start shows in the title of the hidden window.
TEST_F(MainWindowTest, StartedInTheTrayOnlyItsIconShowsUntilASecondStartBringsItForwardAndEnds) {
    auto& server = Serve(MailboxOf(2));
    ProgramProfile profile;
    WriteTestProfile(server.Address());
    Profile::Application().WriteInt("Notification", "CheckMailOnStartup", 1);
    const int iconsBefore = CountTrayIcons();

    Process first(" /tray");
    ASSERT_TRUE(first.Started());
    const HWND window =
        WaitFor([] { return ::FindWindowA(nullptr, "Tarnwick - You have 2 messages waiting."); });
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(PumpUntil([&] { return CountTrayIcons() == iconsBefore + 1; }, 5000));
    EXPECT_FALSE(::IsWindowVisible(window)) << "the window showed at a quiet start";

    Process second;
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(second.WaitForExit(15000));
    EXPECT_TRUE(PumpUntil(
        [&] { return ::IsWindowVisible(window) && ::GetForegroundWindow() == window; }, 5000));
    EXPECT_EQ(iconsBefore + 1, CountTrayIcons());
    EXPECT_TRUE(ExitProgram(window, first));
}

// A refused login while the window is hidden in the tray: the failure box is nobody's owned
// window, so it has a taskbar button; Exit closes it all the same.
TEST_F(MainWindowTest, AFailureWhileTheWindowIsHiddenShowsABoxOfItsOwn) {
    testsupport::Mailbox refusing = MailboxOf(1);
    refusing.overrides["PASS secret\r\n"] = "-ERR [AUTH] wrong password\r\n";
    auto& server = Serve(refusing);
    ProgramProfile profile;
    WriteTestProfile(server.Address());
    Profile::Application().WriteInt("Notification", "CheckMailOnStartup", 1);

    Process program(" /tray");
    ASSERT_TRUE(program.Started());
    const HWND box = WaitFor([] {
        const HWND shown = ::FindWindowA("#32770", "Tarnwick Error");
        return shown != nullptr && ::IsWindowVisible(shown) ? shown : nullptr;
    });
    ASSERT_NE(nullptr, box) << "no failure box showed";
    EXPECT_EQ(nullptr, ::GetWindow(box, GW_OWNER)) << "owned by the hidden window: no button";
    // Exit still finds it: the box closes and the program ends.
    HWND window = nullptr;
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "#32770", nullptr); w != nullptr;
         w = ::FindWindowExA(nullptr, w, "#32770", nullptr)) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(w, &process);
        if (process == program.Id() && w != box)
            window = w;
    }
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_TRUE(ExitProgram(window, program));
}

// Esc leaves as Exit does, saving the settings, place and column widths; a place saved on a
// monitor that is gone since comes back inside the work area.
TEST_F(MainWindowTest, EscDuringAStalledCheckEndsTheProgramAtOnceSavingItsSettingsAndPlace) {
    testsupport::ScriptedPop3Server stalled;
    stalled.Login().Silence(); // the check waits for STAT's answer, up to its 30 s limit
    stalled.Start();
    ProgramProfile profile;
    WriteTestProfile(stalled.Address());
    Profile& settings = Profile::Application();
    settings.WriteInt("Notification", "CheckMailOnStartup", 1);
    ASSERT_EQ("", settings.GetString("Notification", "Interval", ""));
    const int iconsBefore = CountTrayIcons();
    const int widths[3] = {180, 120, 40};
    RECT first = {}, again = {}, placed = {}, work = {};

    Process program;
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(
        PumpUntil([&] { return stalled.Received().find("PASS") != std::string::npos; }, 30000));
    const HWND window = WaitForMainWindowOf(program.Id());
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(PumpUntil([&] { return CountTrayIcons() == iconsBefore + 1; }, 5000));
    ::SetWindowPos(window, nullptr, 210, 170, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    for (int i = 0; i < 3; ++i)
        ::SendDlgItemMessageA(window, IDC_MESSAGE_LIST, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                              MAKELPARAM(widths[i], 0));
    ::GetWindowRect(window, &first);
    ::PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(program.WaitForExit(2000)) << "still running 2 s after Esc";
    EXPECT_EQ("5", settings.GetString("Notification", "Interval", ""));
    EXPECT_EQ(0, settings.GetInt("Notification", "FirstTime", 1));
    EXPECT_TRUE(PumpUntil([&] { return CountTrayIcons() == iconsBefore; }, 5000));

    settings.WriteInt("Notification", "CheckMailOnStartup", 0);
    std::vector<int> shown;
    RunProgram([&](HWND restarted) {
        ::GetWindowRect(restarted, &again);
        for (int i = 0; i < 3; ++i)
            shown.push_back(static_cast<int>(::SendDlgItemMessageA(
                restarted, IDC_MESSAGE_LIST, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0)));
    });
    EXPECT_EQ(210, again.left);
    EXPECT_EQ(170, again.top);
    EXPECT_EQ(first.right - first.left, again.right - again.left);
    EXPECT_EQ((std::vector<int>{180, 120, 40}), shown);

    settings.WriteString("Window", "Position", "30000,20000");
    RunProgram([&](HWND restarted) { ::GetWindowRect(restarted, &placed); });
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right, placed.right) << "the nearest place inside is the bottom right corner";
    EXPECT_EQ(work.bottom, placed.bottom);
    EXPECT_EQ(first.right - first.left, placed.right - placed.left);
    EXPECT_EQ(first.bottom - first.top, placed.bottom - placed.top);
}
