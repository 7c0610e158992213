// The check cycle through a fake window and a fake clock; every job runs the real account
// against the scripted POP3 server, on the test's thread when the test says so.
#include "cycle/check_cycle.h"

#include "pop3/messages.h"
#include "pop3/response_code.h"
#include "support/scripted_pop3_server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using cycle::Box;
using cycle::CheckCycle;
using cycle::Timer;
using testsupport::Mailbox;
using testsupport::ScriptedPop3Server;

const char kNobody[] = "127.0.0.1:1"; // nothing listens there: no connection

MessageIdentity Uid(const char* uid) {
    MessageIdentity identity;
    identity.uid = uid;
    return identity;
}

class FakeClock : public cycle::Clock {
public:
    std::uint64_t NowMs() const override { return now; }
    std::string TimeOfDay(std::uint64_t ms) const override {
        char text[8];
        std::snprintf(text, sizeof(text), "%02u:%02u", unsigned(ms / 3600000 % 24),
                      unsigned(ms / 60000 % 60));
        return text;
    }
    std::uint64_t now = 14 * 3600000; // 14:00
};

class FakeWindow : public cycle::CheckHost {
public:
    bool StartJob(std::shared_ptr<CheckJob> job) override {
        jobs.push_back(job);
        return true;
    }
    void ShowState(const cycle::Display& shown) override { display = shown; }
    void ShowList(bool) override {}
    bool Ask(const std::string& text) override {
        Open(Box::Failure, text);
        return false;
    }
    void Tell(Box kind, const std::string& text) override { Open(kind, text); }
    bool SetTimer(Timer timer, std::uint64_t ms) override {
        timers[timer] = ms;
        return true;
    }
    void AnnounceNewMail(const std::string& title, const std::string& text) override {
        announced.push_back(title + "|" + text);
    }
    void NoticeOutage(const std::string&, const std::string& text) override {
        outages.push_back(text);
    }
    void WakeLater() override { wakePosted = true; }

    // A box is a modal loop: what the test runs in it happens under the box.
    void Open(Box kind, const std::string& text) {
        boxes.push_back({kind, text});
        owner->BoxOpened();
        if (whileOpen)
            whileOpen();
        owner->BoxClosed();
        if (wakePosted) {
            wakePosted = false;
            owner->Wake();
        }
    }
    std::shared_ptr<CheckJob> Pending() const {
        return jobs.empty() || jobs.back()->done ? nullptr : jobs.back();
    }
    // The worker's part, then the end message (unless it is lost).
    void RunJob(bool tell = true) {
        auto job = Pending();
        ASSERT_NE(nullptr, job);
        job->account.SetTimeout(timeoutMs);
        job->Run();
        if (tell)
            owner->JobEnded();
    }

    CheckCycle* owner = nullptr;
    std::vector<std::shared_ptr<CheckJob>> jobs;
    cycle::Display display;
    std::vector<std::pair<Box, std::string>> boxes;
    std::function<void()> whileOpen;
    std::map<Timer, std::uint64_t> timers;
    std::vector<std::string> announced, outages;
    bool wakePosted = false;
    unsigned timeoutMs = 5000;
};

Mailbox MailboxOf(std::vector<std::string> uids) {
    Mailbox mailbox;
    mailbox.capabilities = {"UIDL"};
    for (const std::string& uid : uids) {
        mailbox.messages.push_back(testsupport::MakeMessage("From " + uid, "About " + uid, {}));
        mailbox.messages.back().uid = uid;
    }
    return mailbox;
}

class CheckCycleTest : public ::testing::Test {
protected:
    CheckCycleTest() : cycle(window, clock) { window.owner = &cycle; }

    ScriptedPop3Server& Serve(const Mailbox& mailbox) {
        servers.push_back(std::make_unique<ScriptedPop3Server>());
        servers.back()->ServeMailbox(mailbox).Start();
        return *servers.back();
    }
    void StartOn(const std::string& server) {
        Account account;
        account.Set("ann", "secret", server, 8, 1);
        cycle.Start(account, 5, false);
    }
    void Point(const std::string& server) { cycle.MutableAccount().m_MailServer = server; }
    // A check by the user, run to its end.
    void Check() {
        cycle.CheckNow();
        window.RunJob();
    }
    std::uint64_t Retry() { return window.timers[Timer::Retry]; }

    FakeClock clock;
    FakeWindow window;
    CheckCycle cycle;
    std::vector<std::unique_ptr<ScriptedPop3Server>> servers;
};

} // namespace

TEST(ResponseCode, OnlyAKnownBracketedWordRightAfterErrCountsInAnyCaseWithTheTextAfterIt) {
    using pop3::ResponseCode;
    const struct {
        const char* line;
        ResponseCode code;
        const char* text;
    } cases[] = {
        {"-ERR [IN-USE] Mailbox locked by another session\r\n", ResponseCode::InUse,
         "Mailbox locked by another session"},
        {"-ERR [SYS/TEMP]", ResponseCode::SysTemp, ""},
        {"-ERR [SYS/PERM/QUOTA] gone", ResponseCode::SysPerm, "gone"},
        {"-ERR [AUTH] wrong \x1b[31mpassword\x07", ResponseCode::Auth, "wrong  [31mpassword"},
        {"-ERR the mailbox is [IN-USE]", ResponseCode::None, "the mailbox is [IN-USE]"},
        {"-ERR [IN-USER] no", ResponseCode::None, "[IN-USER] no"},
        {"-ERR [IN-USE]x", ResponseCode::None, "[IN-USE]x"},
        {"-ERR [SYS] x", ResponseCode::None, "[SYS] x"},
        {"-ERR", ResponseCode::None, ""},
    };
    for (const auto& c : cases) {
        const pop3::ErrReply reply = pop3::ReadErrReply(c.line);
        EXPECT_EQ(c.code, reply.code) << c.line;
        EXPECT_EQ(c.text, reply.text) << c.line;
    }
}

// Each code at each step: passing ones keep checking on with a try scheduled and no box;
// refusals of the login, and a permanent fault, switch it off with the box.
TEST_F(CheckCycleTest, PassingCodesAtEveryStepKeepCheckingOnAndARefusedLoginSwitchesItOff) {
    const struct {
        const char* step;
        const char* answer;
        bool passing;
        const char* shown; // in the title
    } cases[] = {
        {"greeting", "-ERR [SYS/TEMP] restarting\r\n", true, "the server has a passing fault"},
        {"USER", "-ERR [IN-USE] locked\r\n", true, "the mailbox is in use by another program"},
        {"PASS", "-ERR [in-use] locked\r\n", true, "the mailbox is in use by another program"},
        {"PASS", "-ERR [LOGIN-DELAY] wait\r\n", true, "the server asks for a pause between logins"},
        {"STAT", "-ERR [IN-USE] locked\r\n", true, "the mailbox is in use by another program"},
        {"STAT", "-ERR [LOGIN-DELAY] later\r\n", true,
         "the server asks for a pause between logins"},
        {"PASS", "-ERR [AUTH] wrong password\r\n", false, ""},
        {"PASS", "-ERR invalid login [IN-USE]\r\n", false, ""},
        {"USER", "-ERR no such user\r\n", false, ""},
        {"STAT", "-ERR [SYS/PERM] mailbox damaged\r\n", false, ""},
    };
    for (const auto& c : cases) {
        const std::string step = c.step;
        SCOPED_TRACE(step + " " + c.answer);
        ScriptedPop3Server server;
        if (step == "greeting") {
            server.Reply(c.answer);
        } else {
            server.Reply("+OK hi\r\n").Expect("CAPA\r\n").Reply("-ERR\r\n").Expect("USER ann\r\n");
            server.Reply(step == "USER" ? c.answer : "+OK\r\n");
            if (step != "USER")
                server.Expect("PASS secret\r\n").Reply(step == "PASS" ? c.answer : "+OK\r\n");
            if (step == "STAT")
                server.Expect("CAPA\r\n").Reply("-ERR\r\n").Expect("STAT\r\n").Reply(c.answer);
        }
        server.Start();
        FakeWindow window;
        CheckCycle cycle(window, clock);
        window.owner = &cycle;
        Account account;
        account.Set("ann", "secret", server.Address(), 8, 1);
        cycle.Start(account, 5, true);
        window.RunJob();
        EXPECT_TRUE(server.Mismatches().empty());
        EXPECT_EQ(c.passing, cycle.Enabled());
        EXPECT_EQ(c.passing ? 0u : 1u, window.boxes.size());
        if (c.passing) {
            EXPECT_EQ(30000u, window.timers[Timer::Retry]);
            EXPECT_EQ("Tarnwick - " + std::string(c.shown) + "; trying again at 14:00",
                      window.display.title);
            EXPECT_EQ(window.display.title, window.display.tip);
            EXPECT_EQ(cycle::Display::Picture::Retrying, window.display.picture);
        } else {
            EXPECT_EQ(Box::Failure, window.boxes[0].first);
            EXPECT_EQ("Tarnwick - disabled", window.display.title);
        }
    }
}

// The mailbox is busy twice; the rows of the last good check stay on show meanwhile, and
// the tries grow: neither a check by hand nor a deletion resets or loses them.
TEST_F(CheckCycleTest, TriesGrowThroughCheckNowAndADeletionAndTheRowsArriveWhenTheMailboxIsFree) {
    auto& good = Serve(MailboxOf({"a", "b"}));
    Mailbox busyBox = MailboxOf({"a", "b"});
    busyBox.overrides["PASS secret\r\n"] = "-ERR [IN-USE] held by your phone\r\n";
    auto& busy = Serve(busyBox);
    StartOn(good.Address());
    Check();
    ASSERT_EQ(2, cycle.RowsToShow());

    Point(busy.Address());
    Account summaries = cycle.GetAccount(); // the next list is built afresh
    summaries.m_SummarySize = 3;
    cycle.SettingsChanged(summaries, 5);
    clock.now += 60000;
    Check(); // 14:01
    EXPECT_EQ(30000u, Retry());
    EXPECT_EQ("Tarnwick - the mailbox is in use by another program; trying again at 14:01",
              window.display.title);
    EXPECT_EQ("Tarnwick - You have 2 messages waiting. Last good check: 14:00.",
              window.display.status);
    EXPECT_EQ(2, cycle.RowsToShow());
    EXPECT_EQ("held by your phone", cycle.GetAccount().GetFault().serverText);

    Check(); // by hand: the next step, not the first again
    EXPECT_EQ(60000u, Retry());

    // A deletion meanwhile: refused (the mailbox is busy), the try still pending and it is
    // not lost when it comes while the deletion runs.
    const auto& messages = *cycle.GetMessages();
    cycle.Delete(1, messages.GetIdentity(0), cycle.ListGeneration());
    cycle.Tick(Timer::Retry);
    window.RunJob();
    ASSERT_EQ(1u, window.boxes.size());
    EXPECT_EQ(Box::DeletionFailed, window.boxes[0].first);
    ASSERT_NE(nullptr, window.Pending()) << "the try that came during the deletion was lost";
    EXPECT_EQ(CheckJob::Check, window.Pending()->kind);
    window.RunJob();
    EXPECT_EQ(120000u, Retry());
    cycle.Tick(Timer::Retry);
    window.RunJob();
    EXPECT_EQ(300000u, Retry());
    cycle.Tick(Timer::Retry);
    window.RunJob();
    EXPECT_EQ(0u, Retry()) << "after the schedule, the normal interval";
    EXPECT_TRUE(cycle.Enabled());
    EXPECT_EQ(1u, window.boxes.size());

    Point(good.Address());
    cycle.Tick(Timer::Check);
    window.RunJob();
    EXPECT_EQ("Tarnwick - You have 2 messages waiting.", window.display.title);
    Point(kNobody);
    Check();
    EXPECT_EQ(30000u, Retry()) << "a success starts the schedule again";
    EXPECT_EQ("Tarnwick - the server cannot be reached; trying again at 14:01",
              window.display.title);
}

TEST_F(CheckCycleTest, AnOutageOfHalfAnHourGivesOneNoticeAndTheNextOutageItsOwn) {
    auto& good = Serve(MailboxOf({"a"}));
    StartOn(kNobody);
    for (int round = 0; round < 2; ++round) {
        const std::uint64_t began = clock.now;
        Check();
        while (clock.now - began < 60 * 60000) {
            const std::uint64_t wait = Retry() != 0 ? Retry() : 5 * 60000;
            clock.now += wait;
            cycle.Tick(Retry() != 0 ? Timer::Retry : Timer::Check);
            window.RunJob();
        }
        EXPECT_EQ(round + 1u, window.outages.size());
        Point(good.Address());
        Check();
        Point(kNobody);
    }
    EXPECT_EQ(kNobody + std::string(": the server cannot be reached, for 30 minutes now. "
                                    "Tarnwick keeps trying."),
              window.outages[0]);
    EXPECT_TRUE(cycle.Enabled());
    EXPECT_TRUE(window.boxes.empty());
}

// The program asks before a deletion; a check that ends meanwhile waits for the answer,
// and a deletion confirmed over a list that is no longer on show is not run.
TEST_F(CheckCycleTest, ACheckEndingOrTickingUnderTheQuestionWaitsAndTheOlderListIsNotDeletedFrom) {
    auto& server = Serve(MailboxOf({"a", "b", "c"}));
    StartOn(server.Address());
    cycle.CheckNow(); // running when the question opens
    const unsigned asked = cycle.ListGeneration();
    cycle.BoxOpened();
    window.RunJob();          // it ends under the question
    cycle.Tick(Timer::Check); // and a tick comes
    EXPECT_EQ(0, cycle.RowsToShow()) << "the list changed under the open question";
    EXPECT_EQ(asked, cycle.ListGeneration());
    EXPECT_EQ(1u, window.jobs.size()) << "a check started under the question";
    cycle.BoxClosed();
    ASSERT_TRUE(window.wakePosted);
    window.wakePosted = false;
    cycle.Wake();
    EXPECT_EQ(3, cycle.RowsToShow());
    ASSERT_NE(nullptr, window.Pending()) << "the tick held under the question was lost";

    cycle.Delete(2, Uid("b"), cycle.ListGeneration()); // beside a running check
    window.RunJob();
    cycle.Delete(2, Uid("b"), asked); // over the list before that check
    ASSERT_EQ(2u, window.boxes.size());
    EXPECT_EQ(Box::ChangedWhileAsked, window.boxes[0].first);
    EXPECT_EQ(Box::ChangedWhileAsked, window.boxes[1].first);
    EXPECT_EQ(nullptr, window.Pending());
    cycle.Delete(2, Uid("b"), cycle.ListGeneration());
    window.RunJob();
    EXPECT_EQ(std::vector<int>{2}, server.Deleted());
}

// Exit while a box is open: the job is cancelled, and nothing follows it, neither a box
// nor a check nor a timer.
TEST_F(CheckCycleTest, ExitUnderABoxCancelsTheJobAndNothingFollows) {
    auto& server = Serve(MailboxOf({"a", "b"}));
    StartOn(server.Address());
    Check();
    window.whileOpen = [&] {
        cycle.Exit();
        cycle.Tick(Timer::Check);
        cycle.CheckNow();
    };
    cycle.Delete(1, Uid("a"), cycle.ListGeneration());
    window.RunJob(); // deleted: the new check starts, then the box
    ASSERT_EQ(1u, window.boxes.size());
    EXPECT_EQ(Box::Deleted, window.boxes[0].first);
    auto check = window.Pending();
    ASSERT_NE(nullptr, check);
    EXPECT_TRUE(check->cancel->IsCancelled());
    window.timers.clear();
    window.RunJob();
    cycle.Wake();
    cycle.Resumed();
    cycle.Delete(2, Uid("b"), cycle.ListGeneration()); // a Yes that arrives after Exit
    EXPECT_EQ(1u, window.boxes.size());
    EXPECT_EQ(nullptr, window.Pending());
    EXPECT_TRUE(window.timers.empty());
}

// A deletion the server never committed (QUIT refused, or no answer at all) fails with its
// reason and deletes nothing; the rows and the mail state stay, and no check follows.
TEST_F(CheckCycleTest, ADeletionIsDoneOnlyWhenTheServerTookDeleAndQuit) {
    const Mailbox listed = MailboxOf({"a", "b", "c"});
    auto& good = Serve(listed);
    Mailbox refusesQuit = listed;
    refusesQuit.overrides["QUIT\r\n"] = "-ERR could not commit\r\n";
    auto& noQuit = Serve(refusesQuit);
    ScriptedPop3Server stalled;
    stalled.Login().Silence();
    stalled.Start();
    StartOn(good.Address());
    Check();
    const std::string shown = window.display.title;
    window.timeoutMs = 500;
    for (const auto& [address, reason] : {std::pair{noQuit.Address(), "Error occured during QUIT"},
                                          std::pair{stalled.Address(), ""}}) {
        window.boxes.clear();
        Point(address);
        cycle.Delete(2, Uid("b"), cycle.ListGeneration());
        window.RunJob();
        ASSERT_EQ(1u, window.boxes.size()) << address;
        EXPECT_EQ(Box::DeletionFailed, window.boxes[0].first);
        EXPECT_EQ(0u, window.boxes[0].second.find("Could not delete message number 2\n\n" +
                                                  std::string(reason)))
            << window.boxes[0].second;
        EXPECT_EQ(shown, window.display.title);
        EXPECT_EQ(3, cycle.RowsToShow());
        EXPECT_EQ(nullptr, window.Pending()) << "a check followed the failed deletion";
    }
    EXPECT_TRUE(noQuit.Deleted().empty());
    EXPECT_EQ(1, noQuit.Connections());
}

TEST_F(CheckCycleTest, AfterResumeTheFirstCheckWaitsAndFaultsInTheGraceKeepTheSchedulesPlace) {
    StartOn(kNobody);
    Check();
    Check();
    EXPECT_EQ(60000u, Retry());
    cycle.Resumed();
    EXPECT_EQ(10000u, Retry());
    clock.now += 10000;
    cycle.Tick(Timer::Retry);
    window.RunJob();
    EXPECT_EQ(30000u, Retry()) << "within the grace time";
    clock.now += CheckCycle::kResumeGraceMs;
    Check();
    EXPECT_EQ(120000u, Retry()) << "the schedule goes on where it was";
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(CheckCycleTest, AJobWhoseEndMessageWasLostIsCollectedAtTheNextTick) {
    auto& server = Serve(MailboxOf({"a"}));
    StartOn(server.Address());
    cycle.CheckNow();
    window.RunJob(false);
    EXPECT_TRUE(cycle.Busy());
    cycle.Tick(Timer::Check);
    EXPECT_EQ(1, cycle.RowsToShow());
    EXPECT_EQ("Tarnwick - You have 1 messages waiting.", window.display.title);
    EXPECT_NE(nullptr, window.Pending()) << "the tick's own check";
}

// New mail means a message the last list did not hold; a deletion, Enable, an unchanged
// mailbox or a smaller count announce nothing.
TEST_F(CheckCycleTest, NewMailIsAnnouncedForANewIdOrALargerCountOnly) {
    auto& two = Serve(MailboxOf({"a", "b"}));
    auto& one = Serve(MailboxOf({"b"}));
    auto& other = Serve(MailboxOf({"b", "c"}));
    Mailbox plain = MailboxOf({"", "", ""});
    plain.capabilities.clear();
    auto& noIds = Serve(plain);
    plain.messages.pop_back();
    auto& noIdsTwo = Serve(plain);
    StartOn(two.Address());
    Check(); // at start-up, waiting mail once
    ASSERT_EQ(1u, window.announced.size());
    EXPECT_EQ("2 messages waiting|From: From b\nSubject: About b", window.announced[0]);
    Check();
    cycle.ToggleEnabled();
    cycle.ToggleEnabled();
    window.RunJob(); // Enable checks at once
    Point(one.Address());
    Check(); // "a" deleted
    EXPECT_EQ(1u, window.announced.size());
    Point(other.Address());
    Check(); // the same count as before it, and yet new
    ASSERT_EQ(2u, window.announced.size());
    EXPECT_EQ("2 messages waiting|From: From c\nSubject: About c", window.announced[1]);

    Point(noIds.Address());
    Check();
    EXPECT_EQ(3u, window.announced.size()) << "without ids, a larger count";
    Point(noIdsTwo.Address());
    Check();
    Point(noIds.Address());
    Check();
    EXPECT_EQ(4u, window.announced.size());
    Check();
    EXPECT_EQ(4u, window.announced.size());
    EXPECT_TRUE(window.boxes.empty());
}
