#include "framework_test_support.h"

#include "settings/profile.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <utility>

namespace {

// The sheets and controls need their window classes registered once per process.
class CommonControlsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&init);
    }
};

[[maybe_unused]] ::testing::Environment* const g_commonControls =
    ::testing::AddGlobalTestEnvironment(new CommonControlsEnvironment);

ModalDriver* g_driver = nullptr;

constexpr UINT kTickMs = 25;

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

ModalDriver::ModalDriver(std::vector<Step> steps, std::function<void()> abort, UINT watchdogMs)
    : m_steps(std::move(steps)), m_abort(std::move(abort)),
      m_deadline(::GetTickCount() + watchdogMs) {
    g_driver = this;
    m_timer = ::SetTimer(nullptr, 0, kTickMs, &ModalDriver::Tick);
}

ModalDriver::~ModalDriver() {
    ::KillTimer(nullptr, m_timer);
    if (g_driver == this)
        g_driver = nullptr;
}

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR id, DWORD) {
    ModalDriver* self = g_driver;
    // A step may itself run a modal loop that ticks again: steps never nest.
    if (self == nullptr || self->m_timer != id || self->m_running)
        return;
    self->m_running = true;
    if (static_cast<LONG>(::GetTickCount() - self->m_deadline) >= 0) {
        if (!self->m_timedOut) {
            self->m_timedOut = true;
            ADD_FAILURE() << "modal loop still running after its steps " << self->m_next << " of "
                          << self->m_steps.size();
        }
        self->m_abort();
    } else if (self->m_next < self->m_steps.size() && self->m_steps[self->m_next]()) {
        ++self->m_next;
    }
    self->m_running = false;
}

TempProfile::TempProfile() : m_previous(Profile::Application().Path()) {
    char directory[MAX_PATH] = {};
    char file[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, directory);
    ::GetTempFileNameA(directory, "tnw", 0, file);
    m_path = file;
    // Starts empty: a missing profile reads as every default.
    ::DeleteFileA(m_path.c_str());
    Profile::UseFile(m_path);
}

TempProfile::~TempProfile() {
    ::DeleteFileA(m_path.c_str());
}

std::string TempProfile::Contents() const {
    std::ifstream in(m_path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ItemText(HWND dialog, int id) {
    char buffer[1024] = {};
    ::GetDlgItemTextA(dialog, id, buffer, sizeof(buffer));
    return buffer;
}

void SetItemText(HWND dialog, int id, const std::string& text) {
    ::SetDlgItemTextA(dialog, id, text.c_str());
}

void Click(HWND dialog, int id) {
    ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

bool ItemEnabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}
