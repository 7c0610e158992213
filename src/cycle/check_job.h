#pragma once

#include "pop3/messages.h"
#include "settings/account.h"

#include <atomic>
#include <memory>
#include <string>

namespace net {
class CancelSignal;
}

// One piece of POP3 work off the window's thread: a check or a deletion. It works on copies,
// so that nothing on show changes under it, and is shared with the thread that runs it, so
// that a thread let go at the end of the program still owns what it uses.
struct CheckJob {
    enum Kind { Check, Delete } kind = Check;
    Account account;
    std::unique_ptr<Messages> list; // a check: compared with, then the result
    int message = 0;                // a deletion: the number and what it must still name
    MessageIdentity identity;
    bool deleted = false;
    // A check whose account changed by the user's answer: written to the profile first, so
    // that the synced write waits on this thread, not the window's.
    bool saveAccountFirst = false;
    std::shared_ptr<net::CancelSignal> cancel;
    // Set last, once everything above is written.
    std::atomic<bool> done{false};

    CheckJob();
    ~CheckJob();
    // Runs the work; whatever happens, the job ends done.
    void Run();
};
