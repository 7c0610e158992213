// The main window's side of the check cycle: it runs the jobs, shows the states and the
// list, and opens the boxes the cycle asks for.
#include "mainwnd/tarnwick_dlg.h"

#include "framework/message_box.h"
#include "framework/shell_seams.h"
#include "mainwnd/window_messages.h"
#include "pop3/messages.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {

constexpr UINT kAnimationStepMs = 250;

} // namespace

// ---- what the check cycle asks of the window ------------------------------------------------

bool CTarnwickDlg::StartJob(std::shared_ptr<CheckJob> job) {
    // The last job has ended (the cycle holds none): its thread only has to return.
    if (m_worker.IsHeld())
        m_worker.Join();
    HWND window = m_hWnd;
    // A lost end message leaves the job done all the same; the next tick collects it.
    return m_worker.Start([job, window] {
        job->Run();
        ::PostMessageA(window, WM_CHECK_DONE, 0, 0);
    });
}

void CTarnwickDlg::ShowState(const cycle::Display& display) {
    m_statusText = display.status;
    SetWindowText(display.title);
    UpdateData(false);
    if (display.busy) {
        const HICON frames[4] = {m_animFrames[0], m_animFrames[1], m_animFrames[2],
                                 m_animFrames[3]};
        m_trayIcon.Animate(frames, 4, kAnimationStepMs);
        m_trayIcon.SetTipText("Checking mail...");
        m_animate.Play(0, 0xFFFF, static_cast<UINT>(-1));
    } else {
        using Picture = cycle::Display::Picture;
        m_trayIcon.SetIcon(display.picture == Picture::Mail       ? m_iconMail
                           : display.picture == Picture::NoMail   ? m_iconNoMail
                           : display.picture == Picture::Retrying ? m_iconRetrying
                                                                  : m_iconDisabled);
        m_trayIcon.SetTipText(display.tip.c_str());
        m_animate.Stop();
    }
    ::EnableWindow(GetDlgItem(IDC_CONFIGURE), !display.busy);
    ::EnableWindow(GetDlgItem(IDC_CHECK_NOW), !display.busy && display.enabled);
    ::EnableWindow(GetDlgItem(IDC_ENABLE), !display.busy);
    const char* toggle = display.enabled ? "&Disable" : "&Enable";
    m_trayMenu.ModifyMenu(ID_TRAY_DISABLE, toggle);
    ::SetDlgItemTextA(m_hWnd, IDC_ENABLE, toggle);
    UpdateTrayCommands();
}

void CTarnwickDlg::ShowList(bool changed) {
    FillList(changed);
}

bool CTarnwickDlg::Ask(const std::string& text) {
    // Enter must not say yes to what cannot be taken back: No is the default.
    return Ask(text, "Tarnwick - Confirmation", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void CTarnwickDlg::Tell(cycle::Box kind, const std::string& text) {
    switch (kind) {
    case cycle::Box::Failure: {
        // In front even while the window is hidden in the tray. A box owned by a hidden
        // window has no taskbar button, so then it stands alone and holds this thread's
        // windows itself.
        const bool hidden = !::IsWindowVisible(m_hWnd);
        ModalScope modal(*this);
        ShowMessageBox(hidden ? nullptr : m_hWnd, text, "Tarnwick Error",
                       MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST |
                           (hidden ? MB_TASKMODAL : 0));
        break;
    }
    case cycle::Box::Deleted:
        Tell(text, MB_OK);
        break;
    case cycle::Box::DeletionStale:
        Tell(text, MB_OK | MB_ICONEXCLAMATION);
        break;
    case cycle::Box::DeletionFailed:
        Ask(text, "Tarnwick - Error", MB_OK | MB_ICONERROR);
        break;
    case cycle::Box::ChangedWhileAsked:
        Ask(text, "Tarnwick", MB_OK | MB_ICONEXCLAMATION);
        break;
    }
}

bool CTarnwickDlg::SetTimer(cycle::Timer timer, std::uint64_t ms) {
    CTimer& which = timer == cycle::Timer::Check ? m_checkTimer : m_retryTimer;
    if (ms == 0) {
        which.Kill();
        return true;
    }
    return which.Set(m_hWnd, timer == cycle::Timer::Check ? ID_TIMER_CHECK : ID_TIMER_RETRY,
                     static_cast<UINT>(ms));
}

void CTarnwickDlg::AnnounceNewMail(const std::string& title, const std::string& text) {
    PlaySoundFile(m_config.m_UseDefaultSound ? ProgramFolder() + "\\GotMail.wav"
                                             : m_config.m_NotificationSoundFile);
    if (m_config.m_ShowNotice)
        m_trayIcon.ShowBalloon(title, text);
}

void CTarnwickDlg::NoticeOutage(const std::string& title, const std::string& text) {
    if (m_config.m_ShowNotice)
        m_trayIcon.ShowBalloon(title, text);
}

void CTarnwickDlg::WakeLater() {
    // Posted, not run here: a command chosen in a menu runs first, and may open the next box.
    if (m_hWnd != nullptr)
        PostMessage(WM_RESUME_WORK);
}

// ---- the list -------------------------------------------------------------------------------

std::string CTarnwickDlg::RowText(int row, int column) const {
    const Messages* messages = m_cycle.GetMessages();
    if (!messages || row < 0 || row >= messages->GetCount())
        return std::string();
    return column == 0   ? messages->GetFrom(row)
           : column == 1 ? messages->GetSubject(row)
                         : messages->GetSize(row);
}

void CTarnwickDlg::FillList(bool changed) {
    const int rows = m_cycle.RowsToShow();
    // The list asks for its texts as it draws, so an unchanged list needs nothing at all.
    if (!changed && rows == m_list.GetItemCount())
        return;
    ++m_refills;
    // A row number names another message now: no selection survives.
    m_list.SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.SetItemCount(rows);
    ::InvalidateRect(m_list, nullptr, TRUE);
}

void CTarnwickDlg::UpdateTrayCommands() {
    // Commands that start work wait for the running job and for any open box or menu.
    const int others = m_cycle.OpenBoxes() - (m_trayMenuOpen ? 1 : 0);
    const UINT free = m_cycle.Busy() || others > 0 ? MF_GRAYED : MF_ENABLED;
    m_trayMenu.EnableMenuItem(ID_TRAY_CHECK, m_cycle.Enabled() ? free : MF_GRAYED);
    m_trayMenu.EnableMenuItem(ID_TRAY_CONFIGURE, free);
    m_trayMenu.EnableMenuItem(ID_TRAY_DISABLE, free);
}
