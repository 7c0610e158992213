#pragma once

#include "cycle/check_job.h"
#include "pop3/response_code.h"
#include "settings/account.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>

class Messages;

namespace cycle {

// Milliseconds of a monotonic clock, and the local wall time of such an instant.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t NowMs() const = 0;
    // "14:05": the local time at the monotonic instant `ms`.
    virtual std::string TimeOfDay(std::uint64_t ms) const = 0;
};

// The machine's clocks.
class SystemClock : public Clock {
public:
    std::uint64_t NowMs() const override;
    std::string TimeOfDay(std::uint64_t ms) const override;
};

// What the window, the tray icon and its menu show.
struct Display {
    enum class Picture { NoMail, Mail, Disabled, Retrying };
    Picture picture = Picture::NoMail;
    std::string title;  // the window's title
    std::string status; // the status line
    std::string tip;    // the tray tip while no job runs
    bool busy = false;
    bool enabled = true;
};

enum class Timer { Check, Retry };

enum class Box {
    Failure,           // a check failed and checking is off
    Deleted,           // a deletion went through; the new list is on its way
    DeletionStale,     // the number named another message now: nothing deleted
    DeletionFailed,    // the server or the line refused the deletion
    ChangedWhileAsked, // the list changed under the deletion question
};

// What the cycle asks of the window it runs in.
class CheckHost {
public:
    virtual ~CheckHost() = default;
    // Runs job->Run() on another thread and calls JobEnded() on this one when it is done;
    // false when no thread could be started.
    virtual bool StartJob(std::shared_ptr<CheckJob> job) = 0;
    virtual void ShowState(const Display& display) = 0;
    // The rows now go with Messages() and the count shown; `changed`: their texts too.
    virtual void ShowList(bool changed) = 0;
    // A yes-or-no question; runs its own loop, inside BoxOpened() and BoxClosed().
    virtual bool Ask(const std::string& text) = 0;
    // A box with an OK button; as Ask.
    virtual void Tell(Box kind, const std::string& text) = 0;
    // A one-shot for Retry, a period for Check; 0 ms stops it. False when it was refused.
    virtual bool SetTimer(Timer timer, std::uint64_t ms) = 0;
    // The new-mail sound and balloon.
    virtual void AnnounceNewMail(const std::string& title, const std::string& text) = 0;
    // The balloon of an outage: given once, after long enough.
    virtual void NoticeOutage(const std::string& title, const std::string& text) = 0;
    // Calls Wake() soon, from the window's own loop, once the last box has closed.
    virtual void WakeLater() = 0;
};

// The check cycle: checking on or off, the one job at a time, what waits for open boxes,
// the schedule of tries after a passing fault, the announcement of new mail, and the end.
// Everything here runs on the window's thread; time comes from the clock given.
class CheckCycle {
public:
    // Tries after a passing fault, then the normal interval.
    static constexpr std::uint64_t kRetryScheduleMs[] = {30000, 60000, 120000, 300000};
    static constexpr std::uint64_t kResumeCheckDelayMs = 10000;
    static constexpr std::uint64_t kResumeGraceMs = 120000;
    static constexpr std::uint64_t kOutageNoticeMs = 30 * 60000;

    CheckCycle(CheckHost& host, const Clock& clock);
    ~CheckCycle();
    CheckCycle(const CheckCycle&) = delete;
    CheckCycle& operator=(const CheckCycle&) = delete;

    // The settings in force at start; arms the timer and shows the state. Checks at once
    // when checkNow.
    void Start(const Account& account, int intervalMinutes, bool checkNow);
    // The configuration sheet closed with these settings.
    void SettingsChanged(const Account& account, int intervalMinutes);

    void Tick(Timer timer);
    void CheckNow();
    void ToggleEnabled();
    // The user confirmed the deletion of message `number` as `identity`, asked over the list of
    // `generation`.
    void Delete(int number, const MessageIdentity& identity, unsigned generation);
    // The running job has told it is done (the message may also be lost: the next tick
    // collects it).
    void JobEnded();
    void Resumed();
    void BoxOpened();
    void BoxClosed();
    void Wake();
    // The program ends: the job is cancelled, nothing starts and no box opens any more.
    void Exit();

    bool Busy() const { return m_job != nullptr; }
    bool Enabled() const { return m_enabled; }
    bool Exiting() const { return m_exiting; }
    int OpenBoxes() const { return m_boxes; }
    // Work that opens a box or starts a job may begin.
    bool CanStartWork() const { return m_boxes == 0 && !m_exiting; }
    bool IsSetUp() const { return !m_account.m_MailServer.empty(); }
    const Account& GetAccount() const { return m_account; }
    Account& MutableAccount() { return m_account; }
    const Messages* GetMessages() const { return m_messages.get(); }
    // The rows that go with the count on show.
    int RowsToShow() const;
    // Counts the checks that ended, so that a deletion asked over an older list is not run.
    unsigned ListGeneration() const { return m_generation; }
    const std::shared_ptr<CheckJob>& RunningJob() const { return m_job; }

private:
    void StartCheck(bool saveAccountFirst = false);
    bool StartJob(const std::shared_ptr<CheckJob>& job);
    void Collect();
    void FinishCheck(CheckJob& job);
    void FinishDeletion(const CheckJob& job);
    void PassingFault();
    void Failure(const std::string& reason);
    bool OfferToTrustCertificate();
    void AnnounceIfNew(const Messages* list, int count);
    void ArmCheckTimer();
    void StopTimers();
    void ShowState();
    Display IdleDisplay() const;
    std::string FaultReason() const;
    void TellUnlessExiting(Box kind, const std::string& text);

    CheckHost& m_host;
    const Clock& m_clock;
    Account m_account;
    std::unique_ptr<Messages> m_messages;
    int m_intervalMinutes = 5;
    bool m_enabled = true;
    bool m_exiting = false;
    std::shared_ptr<CheckJob> m_job;
    int m_boxes = 0;
    bool m_tickHeld = false;
    bool m_retryHeld = false;
    unsigned m_generation = 0;
    // The next check builds the list afresh (the summaries' settings changed).
    bool m_listStale = false;

    // The passing fault on show, and the tries after it.
    bool m_inFault = false;
    std::size_t m_faultsInRow = 0;
    std::uint64_t m_outageSince = 0;
    bool m_outageNoticed = false;
    std::uint64_t m_nextTryAt = 0;
    std::uint64_t m_nextCheckAt = 0;
    std::uint64_t m_resumedAt = 0;
    bool m_resumed = false;
    std::uint64_t m_lastGoodAt = 0;
    bool m_hadGood = false;

    // What the last good check found, for telling new mail from mail seen.
    std::set<std::string> m_seenUids;
    int m_seenCount = 0;
};

} // namespace cycle
