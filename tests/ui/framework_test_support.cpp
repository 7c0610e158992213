#include "framework_test_support.h"

#include "settings/profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <utility>

namespace {

// Sheets and list views need the common controls' window classes.
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
    ModalRun* run = g_run;
    // A step may run a modal loop of its own that ticks again: steps never nest.
    if (run == nullptr || run->inStep)
        return;
    run->inStep = true;
    HWND window = run->window.GetSafeHwnd();
    if (static_cast<LONG>(::GetTickCount() - run->deadline) >= 0) {
        ADD_FAILURE() << "modal loop still open after step " << run->next;
        run->deadline += 1000;
        ::PostMessageA(window != nullptr ? window : ::GetActiveWindow(), WM_COMMAND, IDCANCEL, 0);
    } else if (window != nullptr && run->next < run->steps.size()) {
        run->steps[run->next++]();
    }
    run->inStep = false;
}

} // namespace

MessageBoxRecorder::MessageBoxRecorder(int answer) {
    m_previous = SetMessageBoxHandler([this, answer](HWND owner, const std::string& text,
                                                     const std::string& caption, UINT flags) {
        m_boxes.push_back({owner, text, caption, flags});
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(std::move(m_previous));
}

INT_PTR RunModalLoop(const CWnd& window, const std::function<INT_PTR()>& doModal,
                     std::vector<Step> steps) {
    ModalRun run{window, std::move(steps)};
    ModalRun* const outer = std::exchange(g_run, &run);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 25, &Tick);
    const INT_PTR result = doModal();
    ::KillTimer(nullptr, timer);
    g_run = outer;
    EXPECT_EQ(run.steps.size(), run.next) << "the modal loop ended before its steps";
    return result;
}

TempProfile::TempProfile() : m_previous(Profile::Application().Path()) {
    char directory[MAX_PATH] = {};
    char file[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, directory);
    ::GetTempFileNameA(directory, "tnw", 0, file);
    m_path = file;
    ::DeleteFileA(m_path.c_str());
    Profile::UseFile(m_path);
}

TempProfile::~TempProfile() {
    ::DeleteFileA(m_path.c_str());
    Profile::UseFile(m_previous);
}

std::string TempProfile::Contents() const {
    std::ifstream in(m_path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
