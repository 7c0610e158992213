// Stands in for a mail program that is slow to come up: it never asks for a window
// message, so a starter that waits for its first one waits in vain. It tells the test that
// it runs, then waits for the test's word (or twenty seconds) and ends.
#include <windows.h>

namespace {

class Event {
public:
    Event(DWORD access, const char* name) : m_handle(::OpenEventA(access, FALSE, name)) {}
    ~Event() {
        if (m_handle != nullptr)
            ::CloseHandle(m_handle);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ::GetDesktopWindow(); // a windows program, as mail programs are
    const Event started(EVENT_MODIFY_STATE, "TarnwickQuietProgramStarted");
    const Event quit(SYNCHRONIZE, "TarnwickQuietProgramQuit");
    if (started.Get() != nullptr)
        ::SetEvent(started.Get());
    if (quit.Get() != nullptr)
        ::WaitForSingleObject(quit.Get(), 20000);
    return 0;
}
