// The main window's boxes, menus and sheets, and its end: what Exit saves, closes and waits for.
#include "mainwnd/tarnwick_dlg.h"

#include "framework/message_box.h"
#include "mainwnd/window_placement.h"
#include "net/cancel_signal.h"
#include "settings/profile.h"

#include <cstring>
#include <vector>

namespace {

// Exit waits this long for a cancelled job before the process lets it go.
constexpr DWORD kExitJoinMs = 1000;

} // namespace

// ---- boxes, menus and sheets over the window ------------------------------------------------

CTarnwickDlg::ModalScope::ModalScope(CTarnwickDlg& dlg) : m_dlg(dlg) {
    m_dlg.m_cycle.BoxOpened();
    m_dlg.UpdateTrayCommands();
}

CTarnwickDlg::ModalScope::~ModalScope() {
    m_dlg.m_cycle.BoxClosed();
    m_dlg.UpdateTrayCommands();
}

int CTarnwickDlg::Ask(const std::string& text, const std::string& caption, UINT flags) {
    ModalScope modal(*this);
    return ShowMessageBox(m_hWnd, text, caption, flags);
}

int CTarnwickDlg::Tell(const std::string& text, UINT flags) {
    ModalScope modal(*this);
    return AfxMessageBox(text, flags, m_hWnd);
}

// ---- the end --------------------------------------------------------------------------------

void CTarnwickDlg::BeginExit() {
    if (m_cycle.Exiting())
        return;
    m_cycle.Exit();
    m_updateTimer.Kill();
    m_updateCheck.Cancel();
    ClosePopup();
    // One write for the whole save: the place before the window hides.
    ProfileBatch batch(Profile::Application());
    SaveWindowPlacement(m_hWnd, m_list, batch);
    ShowWindow(SW_HIDE);
    m_trayIcon.Remove();
    m_config.Save(batch);
    batch.Commit();
}

namespace {

struct OwnedWindows {
    HWND owner;
    std::vector<HWND> found;
};

bool IsDialogClass(HWND hwnd) {
    char className[16] = {};
    ::GetClassNameA(hwnd, className, sizeof(className));
    return std::strcmp(className, "#32770") == 0;
}

// Collects the windows of the thread that `owner` owns, directly or through other windows,
// and the boxes that stand alone because they came while it was hidden.
BOOL CALLBACK CollectOwned(HWND hwnd, LPARAM param) {
    auto& windows = *reinterpret_cast<OwnedWindows*>(param);
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    if (owner == nullptr && hwnd != windows.owner && ::IsWindowVisible(hwnd) &&
        IsDialogClass(hwnd) && CWnd::FromHandle(hwnd) == nullptr) {
        windows.found.push_back(hwnd);
        return TRUE;
    }
    for (; owner != nullptr; owner = ::GetWindow(owner, GW_OWNER)) {
        if (owner == windows.owner) {
            windows.found.push_back(hwnd);
            break;
        }
    }
    return TRUE;
}

} // namespace

void CTarnwickDlg::CloseOpenBoxes() {
    ::EndMenu();
    OwnedWindows found{m_hWnd, {}};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectOwned, reinterpret_cast<LPARAM>(&found));
    for (HWND box : found.found) {
        if (!::IsWindow(box) || !::IsWindowEnabled(box))
            continue; // a box with another open over it goes when that one has
        const bool ours = CWnd::FromHandle(box) != nullptr;
        ::SendMessageA(box, WM_CLOSE, 0, 0);
        // A system message box without a Cancel button ignores WM_CLOSE; it ends with an
        // answer that is neither Yes nor OK.
        if (!ours && IsDialogClass(box) && ::IsWindow(box) && ::IsWindowVisible(box) &&
            ::FindWindowExA(box, nullptr, "SysTabControl32", nullptr) == nullptr)
            ::EndDialog(box, IDCANCEL);
    }
}

void CTarnwickDlg::StopWorker() {
    const auto& job = m_cycle.RunningJob();
    if (job && job->cancel)
        job->cancel->Cancel();
    // Cancelled, the worker ends in moments; one that does not is let go with the job it
    // shares, and ends with the process.
    if (!m_worker.JoinFor(kExitJoinMs))
        m_worker.Detach();
}
