// For the package scripts: finds a running Tarnwick by its instance window, as a second
// start and the setup program do, and asks it to end as the setup program does.
//   instance_probe wait SECONDS   prints the running Tarnwick's process id once it is there
//   instance_probe close SECONDS  sends it WM_CLOSE and waits until its window has gone
// Exit status 0 on success, 1 when the time ran out.
#include "app/single_instance.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND FindRunning() {
    return ::FindWindowA(CSingleInstance::kInstanceWindowClass, nullptr);
}

template <typename Condition> bool WaitFor(Condition condition, DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start >= ms)
            return false;
        ::Sleep(100);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const DWORD ms = static_cast<DWORD>(std::atoi(argv[2])) * 1000;
    if (std::strcmp(argv[1], "wait") == 0) {
        if (!WaitFor([] { return FindRunning() != nullptr; }, ms))
            return 1;
        DWORD process = 0;
        ::GetWindowThreadProcessId(FindRunning(), &process);
        std::printf("%lu\n", static_cast<unsigned long>(process));
        return 0;
    }
    if (std::strcmp(argv[1], "close") == 0) {
        HWND running = FindRunning();
        if (running != nullptr)
            ::SendMessageTimeoutA(running, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
        return WaitFor([] { return FindRunning() == nullptr; }, ms) ? 0 : 1;
    }
    return 2;
}
