#include "settings/account.h"

#include <memory>
#include <stdexcept>
#include <utility>

#include "net/host_port.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/profile.h"

namespace {

const char kSection[] = "MailSettings";
constexpr unsigned short kPop3Port = 110;
const char kNoServer[] = "Server cannot be connected";
const char kNoMemory[] = "Not enough memory to list the messages";
const char kStale[] = "The mailbox changed: that message is no longer where the list shows it";

// Kilobytes of 1024 octets, rounded up.
int ToKilobytes(int octets) {
    if (octets <= 0)
        return 0;
    return static_cast<int>((static_cast<long long>(octets) + 1023) / 1024);
}

} // namespace

bool Account::Load() {
    const Profile& profile = Profile::Application();
    m_MailServer = profile.GetString(kSection, "Mail server");
    m_UserName = profile.GetString(kSection, "User name");
    m_Password = Scramble(profile.GetString(kSection, "RegKey"), s_PasswordKey);
    m_SummarySize = profile.GetInt(kSection, "Summarysize", 8);
    m_Summaries = profile.GetInt(kSection, "Summaries", 1);
    return true;
}

bool Account::Save() {
    Profile& profile = Profile::Application();
    profile.WriteString(kSection, "Mail server", m_MailServer);
    profile.WriteString(kSection, "User name", m_UserName);
    profile.WriteString(kSection, "RegKey", Scramble(m_Password, s_PasswordKey));
    profile.WriteInt(kSection, "Summarysize", m_SummarySize);
    profile.WriteInt(kSection, "Summaries", m_Summaries);
    return true;
}

void Account::Set(std::string userName, std::string password, std::string mailServer,
                  int summarySize, int summaries) {
    m_UserName = std::move(userName);
    m_Password = std::move(password);
    m_MailServer = std::move(mailServer);
    m_SummarySize = summarySize;
    m_Summaries = summaries;
}

std::string Account::Scramble(const std::string& text, int key) {
    std::string result = text;
    const auto mask = static_cast<unsigned char>(key);
    for (char& c : result)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ mask);
    return result;
}

bool Account::ConnectAndLogin(CPop& pop) {
    const auto server = net::SplitHostPort(m_MailServer, kPop3Port);
    if (!server) {
        m_LastError = kNoServer;
        return false;
    }
    pop.SetTimeout(m_TimeoutMs);
    if (!pop.Connect(server->host, server->port, m_UserName, m_Password)) {
        m_LastError = pop.GetErrorText();
        return false;
    }
    return true;
}

void Account::CheckFailedWith(const std::string& error, int oldCount) {
    m_LastError = error;
    m_Status = CheckFailed;
    m_MessageCount = oldCount; // the count goes with the list the caller keeps
}

void Account::CheckMail(Messages*& list) {
    const int oldCount = m_MessageCount;
    CPop pop;
    if (!ConnectAndLogin(pop)) {
        m_Status = CheckFailed;
        return;
    }
    pop.Capa();
    if (pop.IsBroken() || !pop.Stat()) {
        CheckFailedWith(pop.GetErrorText(), oldCount);
        return;
    }
    const int count = pop.GetMessageCount();
    m_MessageCount = count;

    if (count <= 0) {
        // No QUIT: the connection closes when the client goes.
        m_Status = MailboxEmpty;
        return;
    }
    if (m_Summaries == 0) {
        pop.Quit();
        m_Status = CountOnly;
        return;
    }
    // A refused UIDL only means the server has none; the check goes on as without.
    const bool haveUids = pop.OffersUidl() != CPop::Support::No && pop.Uidl();
    if (pop.IsBroken()) {
        CheckFailedWith(pop.GetErrorText(), oldCount);
        return;
    }
    bool same = count == oldCount;
    if (same && haveUids) {
        same = list != nullptr && list->GetCount() == count;
        for (int n = 1; same && n <= count; ++n) {
            same = list->GetUid(n - 1) == pop.GetUid(n);
        }
    }
    if (same) {
        pop.Quit();
        m_Status = CountOnly;
        return;
    }

    // A hostile count must fail the check, not end the program.
    std::unique_ptr<Messages> fresh;
    try {
        fresh = std::make_unique<Messages>(count);
    } catch (const std::exception&) { // bad_alloc, or length_error on 32-bit
        CheckFailedWith(kNoMemory, oldCount);
        return;
    }

    pop.PlanListing(count, m_SummarySize);
    if (!pop.List()) {
        CheckFailedWith(pop.GetErrorText(), oldCount);
        return;
    }
    for (int n = 1; n <= count; ++n) {
        // A message whose headers could not be read still gets its row, unless the session
        // is lost: then no later row could be trusted either.
        pop.Top(n, m_SummarySize);
        if (pop.IsBroken()) {
            CheckFailedWith(pop.GetErrorText(), oldCount);
            return;
        }
        fresh->Add(pop.m_From, pop.m_Subject, ToKilobytes(pop.GetMessageSize(n)), pop.GetSummary());
        fresh->SetUid(n - 1, pop.GetUid(n));
    }
    pop.Quit();
    delete list;
    list = fresh.release();
    m_Status = ListRebuilt;
}

bool Account::DeleteMessage(int message) {
    m_DeleteRefusedAsStale = false;
    CPop pop;
    if (!ConnectAndLogin(pop))
        return false;
    if (!pop.Dele(message)) {
        m_LastError = pop.GetErrorText();
        return false;
    }
    pop.Quit();
    return true;
}

bool Account::DeleteMessage(int message, const std::string& expectedUid) {
    if (expectedUid.empty()) {
        return DeleteMessage(message);
    }
    m_DeleteRefusedAsStale = false;
    CPop pop;
    if (!ConnectAndLogin(pop))
        return false;
    pop.Capa();
    if (pop.OffersUidl() != CPop::Support::No) {
        const bool answered = pop.Uidl(message);
        if (pop.IsBroken()) {
            m_LastError = pop.GetErrorText();
            return false;
        }
        // Refused where UIDL is known to exist: the message is gone. Refused after CAPA
        // was refused: the server may have no UIDL at all, and DELE alone decides.
        const bool known = answered || pop.OffersUidl() == CPop::Support::Yes;
        if (known && pop.GetUid(message) != expectedUid) {
            m_DeleteRefusedAsStale = true;
            m_LastError = kStale;
            pop.Quit();
            return false;
        }
    }
    if (!pop.Dele(message)) {
        m_LastError = pop.GetErrorText();
        return false;
    }
    pop.Quit();
    return true;
}
