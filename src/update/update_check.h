#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "framework/worker_thread.h"

namespace net {
class CancelSignal;
}

// The main window's update checks, run off its thread: the check runs on a worker, its end
// is posted to the owner as WM_UPDATE_DONE, and the owner then calls Announce on its own
// thread. One check at a time.
class CUpdateCheckRunner {
public:
    // Scheduled: counts a chance and checks when due; only a newer version is shown.
    // Requested (the about box's button): checks now and always answers.
    enum Kind { Scheduled, Requested };

    CUpdateCheckRunner() = default;
    // Cancels a running check and waits a moment for it; one that does not end is let go.
    ~CUpdateCheckRunner();
    CUpdateCheckRunner(const CUpdateCheckRunner&) = delete;
    CUpdateCheckRunner& operator=(const CUpdateCheckRunner&) = delete;

    // A request while a check runs makes that check answer when it ends.
    void Start(HWND owner, Kind kind);
    // A check ended and its outcome waits for Announce.
    bool IsDone() const;
    bool IsRunning() const;
    // On the owner's thread: the notice of a newer version, or, for a requested check, that
    // the program is up to date or why it could not check. Nothing when no outcome waits
    // or the check was cancelled.
    void Announce(HWND owner);
    // Exit: the connection ends at once and nothing is announced.
    void Cancel();

private:
    // Shared with the worker, so that a worker let go at the end of the program still owns
    // what it uses.
    struct Outcome {
        std::shared_ptr<net::CancelSignal> cancel;
        std::atomic<bool> done{false};
        bool forced = false;
        bool newVersion = false;
        bool checked = false;
        std::string url;
        std::string failure;
    };

    std::shared_ptr<Outcome> m_outcome;
    CWorkerThread m_worker;
    bool m_requested = false;
};
