// Stands in for a mail program that is slow to come up: it never asks for a window
// message, so a starter that waits for its first one waits in vain. It tells the test that
// it runs, then waits for the test's word (or twenty seconds) and ends.
#include "named_event.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ::GetDesktopWindow(); // a windows program, as mail programs are
    const NamedEvent started(::OpenEventA(EVENT_MODIFY_STATE, FALSE, kQuietProgramStarted));
    const NamedEvent quit(::OpenEventA(SYNCHRONIZE, FALSE, kQuietProgramQuit));
    if (started.Get() != nullptr)
        ::SetEvent(started.Get());
    if (quit.Get() != nullptr)
        ::WaitForSingleObject(quit.Get(), 20000);
    return 0;
}
