#include "cycle/check_cycle.h"

#include "net/cancel_signal.h"
#include "pop3/messages.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace cycle {

namespace {

const char kNotSetUp[] = "Tarnwick - no mailbox set up: choose Configuration";
const char kDisabled[] = "Tarnwick - disabled";
const char kChangedWhileAsked[] =
    "The message list changed while you were asked, so nothing was deleted.\nPlease choose "
    "the message again from the new list.";
constexpr std::size_t kScheduleSteps =
    sizeof(CheckCycle::kRetryScheduleMs) / sizeof(CheckCycle::kRetryScheduleMs[0]);

// The interval the settings allow, whatever a profile holds.
std::uint64_t PeriodMs(int minutes) {
    return static_cast<std::uint64_t>(std::clamp(minutes, 3, 999)) * 60000;
}

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

} // namespace

std::uint64_t SystemClock::NowMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

std::string SystemClock::TimeOfDay(std::uint64_t ms) const {
    const auto now = NowMs();
    const auto ahead =
        std::chrono::milliseconds(static_cast<std::int64_t>(ms) - static_cast<std::int64_t>(now));
    const std::time_t at = std::chrono::system_clock::to_time_t(
        std::chrono::system_clock::now() +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(ahead));
    std::tm local = {};
#ifdef _WIN32
    localtime_s(&local, &at);
#else
    localtime_r(&at, &local);
#endif
    char text[8] = {};
    std::strftime(text, sizeof(text), "%H:%M", &local);
    return text;
}

CheckCycle::CheckCycle(CheckHost& host, const Clock& clock) : m_host(host), m_clock(clock) {}

CheckCycle::~CheckCycle() = default;

void CheckCycle::Start(const Account& account, int intervalMinutes, bool checkNow) {
    m_account = account;
    m_intervalMinutes = intervalMinutes;
    ArmCheckTimer();
    ShowState();
    if (checkNow)
        StartCheck();
}

void CheckCycle::SettingsChanged(const Account& account, int intervalMinutes) {
    const Account shown = m_account;
    m_account = account;
    m_account.TakeCheckOutcome(shown);
    m_intervalMinutes = intervalMinutes;
    if (m_account.m_MailServer != shown.m_MailServer || m_account.m_UserName != shown.m_UserName) {
        // Those rows are another mailbox's: a deletion must not send their numbers here, and
        // what waits there is news.
        m_messages.reset();
        m_account.m_MessageCount = 0;
        m_seenUids.clear();
        m_seenCount = 0;
        m_inFault = false;
        m_hadGood = false;
        m_host.ShowList(true);
    } else if (m_account.m_Summaries != shown.m_Summaries ||
               m_account.m_SummarySize != shown.m_SummarySize) {
        m_listStale = true; // the rows need what the next check reads afresh
    }
    ArmCheckTimer();
    ShowState();
}

// ---- events ---------------------------------------------------------------------------------

void CheckCycle::Tick(Timer timer) {
    if (m_exiting)
        return;
    if (timer == Timer::Check)
        m_nextCheckAt = m_clock.NowMs() + PeriodMs(m_intervalMinutes);
    // A job whose end message was lost is collected here.
    if (m_job && m_job->done && m_boxes == 0)
        Collect();
    if (!m_enabled || m_exiting)
        return;
    if (m_boxes > 0) {
        m_tickHeld = true; // waits for the box
    } else if (m_job) {
        // A tick during a check is answered by it; a try must not be lost to a deletion.
        m_retryHeld = m_retryHeld || (timer == Timer::Retry && m_job->kind == CheckJob::Delete);
    } else {
        StartCheck();
    }
}

void CheckCycle::CheckNow() {
    if (CanStartWork() && !m_job)
        StartCheck();
}

void CheckCycle::ToggleEnabled() {
    if (!CanStartWork() || m_job)
        return;
    m_enabled = !m_enabled;
    if (!m_enabled) {
        StopTimers();
        m_inFault = false;
        ShowState();
        return;
    }
    ArmCheckTimer();
    ShowState();
    StartCheck();
}

void CheckCycle::Delete(int number, const MessageIdentity& identity, unsigned generation) {
    if (m_exiting)
        return;
    if (generation != m_generation || m_job || m_boxes > 0) {
        TellUnlessExiting(Box::ChangedWhileAsked, kChangedWhileAsked);
        return;
    }
    auto job = std::make_shared<CheckJob>();
    job->kind = CheckJob::Delete;
    job->account = m_account;
    job->message = number;
    job->identity = identity;
    StartJob(job);
}

void CheckCycle::JobEnded() {
    // Only the end of the job held: a stray message must not take a running job's results.
    if (m_exiting || !m_job || !m_job->done || m_boxes > 0)
        return; // under a box: Wake() collects it
    Collect();
}

void CheckCycle::Resumed() {
    if (m_exiting || !m_enabled)
        return;
    // The network often comes back some seconds after the machine: the first check waits.
    m_resumed = true;
    m_resumedAt = m_clock.NowMs();
    m_host.SetTimer(Timer::Retry, kResumeCheckDelayMs);
    m_nextTryAt = m_resumedAt + kResumeCheckDelayMs;
}

void CheckCycle::BoxOpened() {
    ++m_boxes;
}

void CheckCycle::BoxClosed() {
    if (m_boxes > 0 && --m_boxes == 0)
        m_host.WakeLater();
}

void CheckCycle::Wake() {
    if (!CanStartWork())
        return;
    if (m_job && m_job->done)
        Collect();
    if (!CanStartWork() || !m_tickHeld)
        return;
    m_tickHeld = false;
    if (!m_job && m_enabled)
        StartCheck();
}

void CheckCycle::Exit() {
    if (m_exiting)
        return;
    m_exiting = true;
    // Closing the job's socket ends it at once. A deletion cut off here deletes nothing: the
    // server removes messages only at QUIT.
    if (m_job && m_job->cancel)
        m_job->cancel->Cancel();
    StopTimers();
}

// ---- jobs -----------------------------------------------------------------------------------

void CheckCycle::StartCheck(bool saveAccountFirst) {
    if (m_exiting)
        return;
    // Nothing to check: no connection, no failure box, only the way to the configuration.
    if (!IsSetUp()) {
        ShowState();
        return;
    }
    auto job = std::make_shared<CheckJob>();
    job->account = m_account;
    job->saveAccountFirst = saveAccountFirst;
    if (m_listStale)
        job->account.m_MessageCount = 0; // a count never matches: the list is built afresh
    else if (m_messages)
        job->list = std::make_unique<Messages>(*m_messages);
    StartJob(job);
}

bool CheckCycle::StartJob(const std::shared_ptr<CheckJob>& job) {
    // One job at a time owns the session.
    if (m_job || m_exiting)
        return false;
    m_job = job;
    ShowState();
    if (m_host.StartJob(job))
        return true;
    m_job.reset();
    ShowState();
    if (job->kind == CheckJob::Check)
        Failure("The mail check could not be started.");
    else
        TellUnlessExiting(Box::DeletionFailed, "Could not delete message number " +
                                                   std::to_string(job->message) +
                                                   "\n\nThe deletion could not be started.");
    return false;
}

void CheckCycle::Collect() {
    const std::shared_ptr<CheckJob> job = std::move(m_job);
    if (job->kind == CheckJob::Delete)
        FinishDeletion(*job);
    else
        FinishCheck(*job);
    if (m_retryHeld && !m_job && m_enabled && CanStartWork()) {
        m_retryHeld = false;
        StartCheck();
    }
}

void CheckCycle::FinishCheck(CheckJob& job) {
    ++m_generation;
    m_retryHeld = false;
    const Account& checked = job.account;
    if (checked.m_Status == Account::CheckFailed) {
        // The count and the rows on show stay those of the last good check.
        const int count = m_account.m_MessageCount;
        const int status = m_account.m_Status;
        m_account.TakeCheckOutcome(checked);
        m_account.m_MessageCount = count;
        m_account.m_Status = status;
        const pop3::FaultKind kind = m_account.GetFault().kind;
        if (kind == pop3::FaultKind::Passing) {
            PassingFault();
        } else if (kind != pop3::FaultKind::Certificate || !OfferToTrustCertificate()) {
            Failure(m_account.GetErrorTextWithServerWords());
        }
        return;
    }
    const std::uint64_t now = m_clock.NowMs();
    m_inFault = false;
    m_faultsInRow = 0;
    m_outageNoticed = false;
    m_host.SetTimer(Timer::Retry, 0);
    m_hadGood = true;
    m_lastGoodAt = now;
    const bool changed = checked.m_Status == Account::ListRebuilt || m_listStale;
    m_listStale = false;
    m_account.TakeCheckOutcome(checked);
    m_messages = std::move(job.list);
    AnnounceIfNew(m_messages.get(), m_account.m_MessageCount);
    ShowState();
    m_host.ShowList(changed);
}

void CheckCycle::FinishDeletion(const CheckJob& job) {
    if (job.deleted) {
        StartCheck();
        TellUnlessExiting(Box::Deleted,
                          "Message deleted succesfully.\nGetting new message list from server.");
        return;
    }
    ShowState();
    if (job.account.DeleteRefusedAsStale()) {
        m_listStale = true; // its count and sizes may well look the same: built afresh
        StartCheck();
        TellUnlessExiting(Box::DeletionStale,
                          "The mailbox has changed since the list was fetched: message number " +
                              std::to_string(job.message) +
                              " is no longer the message shown, so nothing was deleted.\nGetting "
                              "new message list from server.");
        return;
    }
    TellUnlessExiting(Box::DeletionFailed, "Could not delete message number " +
                                               std::to_string(job.message) + "\n\n" +
                                               job.account.m_LastError);
}

// ---- faults ---------------------------------------------------------------------------------

void CheckCycle::PassingFault() {
    const std::uint64_t now = m_clock.NowMs();
    if (!m_inFault) {
        m_inFault = true;
        m_outageSince = now;
    }
    // Right after waking, faults are the network still coming back: tried again soon, and
    // the schedule keeps its place.
    const bool inGrace = m_resumed && now - m_resumedAt < kResumeGraceMs;
    std::uint64_t delay = 0;
    if (inGrace)
        delay = kRetryScheduleMs[0];
    else if (m_faultsInRow < kScheduleSteps)
        delay = kRetryScheduleMs[m_faultsInRow++];
    // Never sooner than the server allows a login: a try before that would not connect.
    const auto allowedInMs =
        static_cast<std::uint64_t>(m_account.SecondsUntilLoginAllowed()) * 1000;
    if (delay != 0)
        delay = std::max(delay, allowedInMs);
    m_host.SetTimer(Timer::Retry, delay);
    m_nextTryAt = delay == 0 ? m_nextCheckAt : std::min(now + delay, m_nextCheckAt);
    if (!m_outageNoticed && now - m_outageSince >= kOutageNoticeMs) {
        m_outageNoticed = true;
        m_host.NoticeOutage("Tarnwick cannot check mail",
                            m_account.m_MailServer + ": " + FaultReason() +
                                ", for 30 minutes now. Tarnwick keeps trying.");
    }
    ShowState();
}

std::string CheckCycle::FaultReason() const {
    switch (m_account.GetFault().code) {
    case pop3::ResponseCode::InUse:
        return "the mailbox is in use by another program";
    case pop3::ResponseCode::LoginDelay:
        return "the server asks for a pause between logins";
    case pop3::ResponseCode::SysTemp:
        return "the server has a passing fault";
    default:
        return "the server cannot be reached";
    }
}

void CheckCycle::Failure(const std::string& reason) {
    m_enabled = false;
    m_inFault = false;
    StopTimers();
    if (m_exiting)
        return;
    // While the box is open the tray tells what failed, not an older state.
    Display failing = IdleDisplay();
    failing.picture = Display::Picture::Disabled;
    failing.title = failing.tip = OneLine("Tarnwick - can't read POP email: " + reason);
    m_host.ShowState(failing);
    TellUnlessExiting(Box::Failure,
                      "Can't read POP email.\n\n" + reason +
                          "\n\nTarnwick will be disabled.\nYou can enable it by right clicking "
                          "on the Tarnwick icon on the task bar and selecting 'Enable'.");
    if (!m_exiting)
        ShowState();
}

bool CheckCycle::OfferToTrustCertificate() {
    if (m_exiting)
        return true; // no new box once the program ends
    const std::string text = "Can't read POP email.\n\n" + m_account.m_LastError +
                             "\n\nDo you trust this certificate? Answer Yes only if your mail "
                             "provider gives this fingerprint for the server.";
    const bool yes = m_host.Ask(text);
    if (m_exiting)
        return true;
    if (!yes)
        return false;
    m_account.m_TrustedCertificate = m_account.GetServerFingerprint();
    StartCheck(true);
    return true;
}

// ---- new mail -------------------------------------------------------------------------------

void CheckCycle::AnnounceIfNew(const Messages* list, int count) {
    // Unique ids tell new mail where the list holds them for every message; without them
    // only a larger count does.
    bool haveUids = list != nullptr && count > 0 && list->GetCount() == count;
    for (int i = 0; haveUids && i < count; ++i)
        haveUids = !list->GetUid(i).empty();
    int newest = -1;
    if (haveUids && !m_seenUids.empty()) {
        for (int i = 0; i < count; ++i)
            if (m_seenUids.count(list->GetUid(i)) == 0)
                newest = i;
    } else if (count > m_seenCount) {
        newest = count - 1;
    }
    m_seenCount = count;
    m_seenUids.clear();
    for (int i = 0; haveUids && i < count; ++i)
        m_seenUids.insert(list->GetUid(i));
    if (newest < 0)
        return;
    const bool named = list != nullptr && list->GetCount() == count;
    m_host.AnnounceNewMail(std::to_string(count) + " messages waiting",
                           named ? "From: " + list->GetFrom(newest) +
                                       "\nSubject: " + list->GetSubject(newest)
                                 : "Open Tarnwick to see them.");
}

// ---- display and timers ---------------------------------------------------------------------

int CheckCycle::RowsToShow() const {
    // The rows always go with the count on show: a record of another count is not shown.
    if (!m_messages || m_account.m_Status == Account::MailboxEmpty)
        return 0;
    const int rows = m_messages->GetCount();
    return rows == m_account.m_MessageCount ? rows : 0;
}

void CheckCycle::ArmCheckTimer() {
    if (!m_enabled || m_exiting)
        return;
    const std::uint64_t period = PeriodMs(m_intervalMinutes);
    m_nextCheckAt = m_clock.NowMs() + period;
    if (!m_host.SetTimer(Timer::Check, period))
        TellUnlessExiting(Box::Failure, "Can't set up timer to check mail.");
}

void CheckCycle::StopTimers() {
    m_host.SetTimer(Timer::Check, 0);
    m_host.SetTimer(Timer::Retry, 0);
}

void CheckCycle::ShowState() {
    if (!m_exiting)
        m_host.ShowState(IdleDisplay());
}

Display CheckCycle::IdleDisplay() const {
    Display display;
    display.busy = m_job != nullptr;
    display.enabled = m_enabled;
    if (!IsSetUp() || !m_enabled) {
        display.picture = Display::Picture::Disabled;
        display.title = display.status = display.tip = IsSetUp() ? kDisabled : kNotSetUp;
        return display;
    }
    const int count = m_account.m_MessageCount;
    const std::string mail =
        count != 0 ? "Tarnwick - You have " + std::to_string(count) + " messages waiting."
                   : std::string("Tarnwick - NO messages waiting.");
    if (m_inFault) {
        display.picture = Display::Picture::Retrying;
        display.title = display.tip =
            "Tarnwick - " + FaultReason() + "; trying again at " + m_clock.TimeOfDay(m_nextTryAt);
        display.status = m_hadGood
                             ? mail + " Last good check: " + m_clock.TimeOfDay(m_lastGoodAt) + "."
                             : display.title;
        return display;
    }
    display.picture = count != 0 ? Display::Picture::Mail : Display::Picture::NoMail;
    display.title = display.status = mail;
    display.tip = mail + (m_account.WasSecure() ? " (secure)" : "");
    return display;
}

void CheckCycle::TellUnlessExiting(Box kind, const std::string& text) {
    if (!m_exiting)
        m_host.Tell(kind, text);
}

} // namespace cycle
