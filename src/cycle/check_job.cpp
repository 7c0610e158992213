#include "cycle/check_job.h"

#include "net/cancel_signal.h"
#include "pop3/messages.h"

CheckJob::CheckJob() : cancel(std::make_shared<net::CancelSignal>()) {
    account.SetCancelSignal(cancel);
}

CheckJob::~CheckJob() = default;

void CheckJob::Run() {
    account.SetCancelSignal(cancel);
    try {
        if (saveAccountFirst)
            account.Save();
        if (kind == Delete) {
            deleted = account.DeleteMessage(message, identity);
        } else {
            Messages* held = list.release();
            account.CheckMail(held);
            list.reset(held);
        }
    } catch (...) { // in practice bad_alloc
        account.m_Status = Account::CheckFailed;
        account.m_LastError = kind == Delete ? "Not enough memory to delete the message."
                                             : "Not enough memory to check the mailbox.";
        deleted = false;
    }
    done = true;
}
