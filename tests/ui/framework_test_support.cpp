#include "framework_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

// Sheets, list views and animations need the common controls' window classes.
[[maybe_unused]] const bool g_commonControls = [] {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&init) != FALSE;
}();

struct ModalRun {
    const CWnd& window;
    std::vector<Step> steps;
    DWORD deadline = ::GetTickCount() + 5000;
    size_t next = 0;
    bool inStep = false;
};

ModalRun* g_run = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    // A step may run a modal loop of its own that ticks again: steps never nest.
    if (g_run == nullptr || g_run->inStep)
        return;
    ModalRun& run = *g_run;
    run.inStep = true;
    HWND window = run.window.GetSafeHwnd();
    if (static_cast<LONG>(::GetTickCount() - run.deadline) >= 0) {
        ADD_FAILURE() << "modal loop still open after step " << run.next;
        run.deadline += 1000;
        ::PostMessageA(window != nullptr ? window : ::GetActiveWindow(), WM_COMMAND, IDCANCEL, 0);
    } else if (window != nullptr && run.next < run.steps.size()) {
        run.steps[run.next++]();
    }
    run.inStep = false;
}

} // namespace

INT_PTR RunModalLoop(const CWnd& window, const std::function<INT_PTR()>& doModal,
                     std::vector<Step> steps) {
    ModalRun run{window, std::move(steps)};
    g_run = &run;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 25, &Tick);
    const INT_PTR result = doModal();
    ::KillTimer(nullptr, timer);
    g_run = nullptr;
    EXPECT_EQ(run.steps.size(), run.next) << "the modal loop ended before its steps";
    return result;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    for (const DWORD start = ::GetTickCount(); !done();) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return false;
        // Conditions may change without a message (another process, another thread).
        const DWORD slice = timeoutMs - elapsed < 50 ? timeoutMs - elapsed : 50;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}
