#include "update/update_check.h"

#include "framework/message_box.h"
#include "mainwnd/window_messages.h"
#include "net/cancel_signal.h"
#include "update/auto_update_client.h"
#include "update/auto_update_dlg.h"

namespace {

// A cancelled connection ends at once; only a name lookup may take longer, and the
// program does not wait for that.
constexpr DWORD kCancelJoinMs = 500;

const char kUpToDate[] = "Tarnwick is up to date.";
const char kCouldNotCheck[] = "Tarnwick could not check for a newer version.\n\n";

} // namespace

CUpdateCheckRunner::~CUpdateCheckRunner() {
    Cancel();
    if (!m_worker.JoinFor(kCancelJoinMs))
        m_worker.Detach();
}

void CUpdateCheckRunner::Start(HWND owner, Kind kind) {
    if (kind == Requested)
        m_requested = true;
    if (m_outcome)
        return; // the running check answers this request too
    auto outcome = std::make_shared<Outcome>();
    outcome->cancel = std::make_shared<net::CancelSignal>();
    outcome->forced = kind == Requested;
    m_outcome = outcome;
    const int force = outcome->forced ? 1 : 0;
    const bool started = m_worker.Start([outcome, owner, force] {
        try {
            const CAutoUpdateClient client(force, outcome->cancel);
            outcome->newVersion = client.IsNewVersion();
            outcome->checked = client.HasChecked();
            outcome->url = client.GetDownloadURL();
            outcome->failure = client.GetFailureText();
        } catch (...) { // in practice bad_alloc
            outcome->failure = "There was not enough memory.";
        }
        outcome->done = true;
        ::PostMessageA(owner, WM_UPDATE_DONE, 0, 0);
    });
    if (!started) {
        outcome->failure = "The check could not be started.";
        outcome->done = true;
        ::PostMessageA(owner, WM_UPDATE_DONE, 0, 0);
    }
}

bool CUpdateCheckRunner::IsDone() const {
    return m_outcome && m_outcome->done;
}

bool CUpdateCheckRunner::IsRunning() const {
    return m_outcome && !m_outcome->done;
}

void CUpdateCheckRunner::Announce(HWND owner) {
    if (!IsDone())
        return;
    m_worker.Join(); // it has only to return now
    const std::shared_ptr<Outcome> outcome = std::move(m_outcome);
    const bool requested = m_requested;
    m_requested = false;
    if (outcome->cancel->IsCancelled())
        return;
    if (requested && !outcome->forced && !outcome->newVersion) {
        // The request came while a scheduled chance ran, which may not have asked at all.
        Start(owner, Requested);
        return;
    }
    if (outcome->newVersion) {
        CAutoUpdateDlg notice(outcome->url, owner);
        notice.DoModal();
    } else if (requested && outcome->checked) {
        ShowMessageBox(owner, kUpToDate, "Tarnwick", MB_OK | MB_ICONINFORMATION);
    } else if (requested) {
        ShowMessageBox(owner, kCouldNotCheck + outcome->failure, "Tarnwick",
                       MB_OK | MB_ICONEXCLAMATION);
    }
}

void CUpdateCheckRunner::Cancel() {
    if (m_outcome)
        m_outcome->cancel->Cancel();
}
