#include "update/update_check.h"

#include <optional>

#include "framework/cursor.h"
#include "update/auto_update_client.h"
#include "update/auto_update_dlg.h"

namespace {

// Owned by the main window, so that Exit finds and closes it with the other boxes.
void AnnounceNewVersion(const CAutoUpdateClient& client, HWND owner) {
    if (!client.IsNewVersion())
        return;
    CAutoUpdateDlg notice(client.GetDownloadURL(), owner);
    notice.DoModal();
}

} // namespace

void RunScheduledUpdateCheck(HWND owner) {
    ::KillTimer(owner, ID_TIMER_UPDATE);
    const CAutoUpdateClient client(0);
    AnnounceNewVersion(client, owner);
}

void RunForcedUpdateCheck(HWND owner) {
    std::optional<CWaitCursor> wait(std::in_place);
    const CAutoUpdateClient client(1);
    wait.reset(); // the hourglass is for the check, not for the notice
    AnnounceNewVersion(client, owner);
}
