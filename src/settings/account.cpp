#include "settings/account.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <memory>
#include <utility>

#include "net/host_port.h"
#include "pop3/messages.h"
#include "pop3/pop.h"
#include "settings/password_protection.h"
#include "settings/profile.h"

namespace {

const char kSection[] = "MailSettings";
const char kNoServer[] = "Server cannot be connected";
const char kStale[] = "The mailbox changed: that message is no longer where the list shows it";
// The server's words on show: enough for any real reason, never a screenful.
constexpr std::size_t kMostServerWords = 200;

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

// Kilobytes of 1024 octets, rounded up.
std::int64_t ToKilobytes(std::int64_t octets) {
    if (octets <= 0)
        return 0;
    return octets / 1024 + (octets % 1024 != 0 ? 1 : 0);
}

} // namespace

bool Account::Load() {
    const Profile& profile = Profile::Application();
    m_MailServer = profile.GetString(kSection, "Mail server");
    m_UserName = profile.GetString(kSection, "User name");
    // Saving empties the scrambled form, so a scrambled password is newer than the protected
    // one: a profile from before, or one an older version wrote to since.
    const std::string scrambled = profile.GetString(kSection, "RegKey");
    const std::string stored = profile.GetString(kSection, "ProtectedPassword");
    m_UnreadablePassword.clear();
    if (!scrambled.empty() || !password_protection::Unprotect(stored, &m_Password)) {
        m_Password = Scramble(scrambled, s_PasswordKey);
        // Protected for another user or machine (a portable profile carried along): kept
        // for them until this user enters a password of their own.
        if (scrambled.empty())
            m_UnreadablePassword = stored;
    }
    m_SummarySize = profile.GetInt(kSection, "Summarysize", 8);
    m_Summaries = profile.GetInt(kSection, "Summaries", 1);
    m_Security = pop3::Security::None;
    pop3::ParseSecurity(profile.GetString(kSection, "Security"), m_Security);
    m_TrustedCertificate = profile.GetString(kSection, "TrustedCertificate");
    m_LoginDelay = profile.GetInt(kSection, "LoginDelay", -1);
    m_LastLoginAt = std::atoll(profile.GetString(kSection, "LastLogin", "0").c_str());
    m_LoginMethod = pop3::LoginMethod::Normal;
    pop3::ParseLoginMethod(profile.GetString(kSection, "LoginMethod"), m_LoginMethod);
    return true;
}

bool Account::Save() {
    ProfileBatch batch(Profile::Application());
    Save(batch);
    return batch.Commit();
}

void Account::Save(ProfileBatch& batch) const {
    batch.WriteString(kSection, "Mail server", m_MailServer);
    batch.WriteString(kSection, "User name", m_UserName);
    std::string protectedPassword;
    if (m_Password.empty() && !m_UnreadablePassword.empty()) {
        batch.WriteString(kSection, "ProtectedPassword", m_UnreadablePassword);
        batch.WriteString(kSection, "RegKey", "");
    } else if (password_protection::Protect(m_Password, &protectedPassword)) {
        batch.WriteString(kSection, "ProtectedPassword", protectedPassword);
        // The scrambled form is as good as plain text: it goes once the protected one is in.
        batch.WriteString(kSection, "RegKey", "");
    } else {
        batch.WriteString(kSection, "RegKey", Scramble(m_Password, s_PasswordKey));
    }
    batch.WriteInt(kSection, "Summarysize", m_SummarySize);
    batch.WriteInt(kSection, "Summaries", m_Summaries);
    batch.WriteString(kSection, "Security", pop3::SecurityName(m_Security));
    batch.WriteString(kSection, "TrustedCertificate", m_TrustedCertificate);
    batch.WriteString(kSection, "LoginMethod", pop3::LoginMethodName(m_LoginMethod));
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

void Account::TakeCheckOutcome(const Account& checked) {
    m_MessageCount = checked.m_MessageCount;
    m_Status = checked.m_Status;
    m_LastError = checked.m_LastError;
    m_Secure = checked.m_Secure;
    m_CertificateRejected = checked.m_CertificateRejected;
    m_Fault = checked.m_Fault;
    m_ProtocolFault = checked.m_ProtocolFault;
    m_TimedOut = checked.m_TimedOut;
    m_LoginDelay = checked.m_LoginDelay;
    m_LastLoginAt = checked.m_LastLoginAt;
    m_ServerFingerprint = checked.m_ServerFingerprint;
}

std::string Account::GetFailureReason() const {
    using pop3::FaultKind;
    using pop3::ResponseCode;
    if (m_Status != CheckFailed && m_Fault.kind == FaultKind::None) {
        return std::string();
    }
    switch (m_Fault.code) {
    case ResponseCode::InUse:
        return "in-use";
    case ResponseCode::LoginDelay:
        return "login-delay";
    case ResponseCode::SysTemp:
        return "temporary";
    case ResponseCode::SysPerm:
        return "permanent";
    case ResponseCode::Auth:
        return "auth";
    case ResponseCode::None:
        break;
    }
    if (m_Fault.kind == FaultKind::Certificate) {
        return "certificate";
    }
    if (m_ProtocolFault) {
        return "protocol";
    }
    switch (m_Fault.kind) {
    case FaultKind::Passing:
        return m_TimedOut ? "timeout" : "network";
    case FaultKind::Credentials:
        return "auth";
    default:
        return "permanent";
    }
}

std::string Account::GetErrorTextWithServerWords() const {
    if (m_Fault.serverText.empty()) {
        return m_LastError;
    }
    return m_LastError + "\nThe server said: " + m_Fault.serverText;
}

int Account::SecondsUntilLoginAllowed() const {
    if (m_LoginDelay <= 0) {
        return 0;
    }
    const std::int64_t since = Now() - m_LastLoginAt;
    // A clock set back would otherwise hold checking off for as long as it was set back.
    if (since < 0 || since >= m_LoginDelay) {
        return 0;
    }
    return static_cast<int>(m_LoginDelay - since);
}

bool Account::RefuseBeforeLoginDelay() {
    const int wait = SecondsUntilLoginAllowed();
    if (wait <= 0) {
        return false;
    }
    m_Status = CheckFailed;
    m_Fault = pop3::Fault();
    m_Fault.kind = pop3::FaultKind::Passing;
    m_Fault.code = pop3::ResponseCode::LoginDelay;
    m_LastError = "The server allows a login only every " + std::to_string(m_LoginDelay) +
                  " seconds; the next check can start in " + std::to_string(wait) + " seconds.";
    return true;
}

void Account::NoteLogin(const CPop& pop) {
    const int stored = m_LoginDelay;
    m_LoginDelay = pop.GetLoginDelay();
    m_LastLoginAt = Now();
    // Written only for a server that names a delay (or just stopped naming one), so that
    // every other check leaves the profile alone.
    if (m_LoginDelay > 0 || stored > 0) {
        ProfileBatch batch(Profile::Application());
        batch.WriteInt(kSection, "LoginDelay", m_LoginDelay);
        batch.WriteString(kSection, "LastLogin", std::to_string(m_LastLoginAt));
        batch.Commit();
    }
}

pop3::Security Account::EffectiveSecurity() const {
    const auto server = net::SplitHostPort(m_MailServer, pop3::kPop3Port);
    if (m_Security == pop3::Security::None && server && server->port == pop3::kPop3sPort) {
        return pop3::Security::Tls;
    }
    return m_Security;
}

bool Account::ConnectAndLogin(CPop& pop) {
    m_Secure = false;
    m_CertificateRejected = false;
    m_ServerFingerprint.clear();
    const pop3::Security security = EffectiveSecurity();
    const auto server = net::SplitHostPort(
        m_MailServer, security == pop3::Security::Tls ? pop3::kPop3sPort : pop3::kPop3Port);
    if (!server) {
        m_LastError = kNoServer;
        return false;
    }
    pop.SetTimeout(m_TimeoutMs);
    pop.SetCancelSignal(m_Cancel);
    pop.SetSessionLimit(m_SessionLimitMs);
    pop.SetSecurity(security, m_TrustedCertificate);
    pop.SetLoginMethod(m_LoginMethod);
    const bool connected = pop.Connect(server->host, server->port, m_UserName, m_Password);
    m_Secure = pop.IsSecure();
    m_CertificateRejected = pop.CertificateRejected();
    m_ServerFingerprint = pop.GetServerFingerprint();
    if (!connected) {
        m_LastError = pop.GetErrorText();
        return false;
    }
    return true;
}

void Account::CheckFailedWith(const CPop& pop, int oldCount) {
    m_LastError = pop.GetErrorText();
    m_Status = CheckFailed;
    NoteFault(pop);
    m_MessageCount = oldCount; // the count goes with the list the caller keeps
}

void Account::NoteFault(const CPop& pop) {
    m_Fault = pop3::Fault();
    m_TimedOut = pop.TimedOut();
    m_ProtocolFault = pop.IsOutOfStep() || pop.LacksSecureChannel() || pop.LoginUnavailable();
    // A refused certificate is the server's answer, however the session ended; a reply that
    // was no answer at all is a broken server, not a broken line.
    if (m_CertificateRejected) {
        m_Fault.kind = pop3::FaultKind::Certificate;
    } else if (pop.IsOutOfStep()) {
        m_Fault.kind = pop3::FaultKind::Permanent;
    } else if (pop.IsBroken()) {
        m_Fault.kind = pop3::FaultKind::Passing;
    } else {
        const pop3::ErrReply& refusal = pop.GetRefusal();
        m_Fault.kind = pop3::KindOfRefusal(refusal.code, pop.RefusedLogin());
        m_Fault.code = refusal.code;
        m_Fault.serverText = refusal.text.substr(0, kMostServerWords);
    }
    // No secure channel or no usable login on offer is how this server is set up, not a
    // passing state: trying again would only meet it again.
    if (m_ProtocolFault && m_Fault.kind == pop3::FaultKind::Passing)
        m_Fault.kind = pop3::FaultKind::Permanent;
}

void Account::CheckMail(Messages*& list) {
    const int oldCount = m_MessageCount;
    m_Fault = pop3::Fault();
    m_ProtocolFault = false;
    m_TimedOut = false;
    if (RefuseBeforeLoginDelay()) {
        return;
    }
    CPop pop(m_Now);
    // Where the server lets them, what follows the login rides with it: one round trip.
    pop.SetLoginFlight({true, true, m_Summaries != 0});
    if (!ConnectAndLogin(pop)) {
        m_Status = CheckFailed; // ConnectAndLogin left the reason
        NoteFault(pop);
        return;
    }
    // The capabilities once more: after the login the server knows who asks, and its
    // LOGIN-DELAY then is the one that counts.
    pop.Capa();
    NoteLogin(pop);
    if (pop.IsBroken() || !pop.Stat()) {
        CheckFailedWith(pop, oldCount);
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
        QuitAfterCheck(pop, CountOnly, oldCount);
        return;
    }
    // A refused UIDL only means the server has none; the check goes on as without.
    const bool haveUids = pop.OffersUidl() != CPop::Support::No && pop.Uidl();
    if (pop.IsBroken()) {
        CheckFailedWith(pop, oldCount);
        return;
    }
    bool same = count == oldCount && list != nullptr && list->GetCount() == count;
    bool listed = false;
    if (same && haveUids) {
        for (int n = 1; same && n <= count; ++n) {
            same = list->GetUid(n - 1) == pop.GetUid(n);
        }
    } else if (same) {
        // Without unique ids the sizes are what tells that a message went and another came.
        if (!pop.List()) {
            CheckFailedWith(pop, oldCount);
            return;
        }
        listed = true;
        for (int n = 1; same && n <= count; ++n) {
            same = list->GetOctets(n - 1) == pop.GetMessageSize(n);
        }
    }
    if (same) {
        QuitAfterCheck(pop, CountOnly, oldCount);
        return;
    }

    auto fresh = std::make_unique<Messages>(count);
    // A check marks nothing, so its QUIT can go out behind the last TOP.
    pop.PlanListing(count, m_SummarySize, !listed, true);
    if (!listed && !pop.List()) {
        CheckFailedWith(pop, oldCount);
        return;
    }
    for (int n = 1; n <= count; ++n) {
        // A message whose headers could not be read still gets its row, unless the session
        // is lost: then no later row could be trusted either.
        pop.Top(n, m_SummarySize);
        if (pop.IsBroken()) {
            CheckFailedWith(pop, oldCount);
            return;
        }
        const std::int64_t octets = pop.GetMessageSize(n);
        fresh->Add(pop.m_From, pop.m_Subject, ToKilobytes(octets), pop.GetSummary());
        fresh->SetIdentity(n - 1, {pop.GetUid(n), octets, pop.GetHeaderDigest()});
    }
    if (QuitAfterCheck(pop, ListRebuilt, oldCount)) {
        delete list;
        list = fresh.release();
    }
}

bool Account::QuitAfterCheck(CPop& pop, int status, int oldCount) {
    // QUIT's answer is otherwise of no account; but when what came is no answer to QUIT,
    // a reply before it ended early, and what was read may belong to other messages.
    pop.Quit();
    if (pop.IsOutOfStep()) {
        CheckFailedWith(pop, oldCount);
        return false;
    }
    m_Status = status;
    return true;
}

bool Account::RefuseAsStale(CPop& pop) {
    m_DeleteRefusedAsStale = true;
    m_LastError = kStale;
    pop.Quit();
    return false;
}

bool Account::DeleteMessage(int message, const MessageIdentity& expected) {
    m_DeleteRefusedAsStale = false;
    CPop pop(m_Now);
    if (!ConnectAndLogin(pop))
        return false;
    const auto failed = [&] {
        m_LastError = pop.GetErrorText();
        return false;
    };
    bool confirmed = false;
    if (!expected.uid.empty()) {
        pop.Capa();
        if (pop.IsBroken())
            return failed();
        if (pop.OffersUidl() != CPop::Support::No) {
            const bool answered = pop.Uidl(message);
            if (pop.IsBroken())
                return failed();
            // Refused where UIDL is known to exist: the message is gone. Refused after CAPA
            // was refused: the server has no UIDL, and the size and headers must tell.
            if (answered || pop.OffersUidl() == CPop::Support::Yes) {
                if (pop.GetUid(message) != expected.uid)
                    return RefuseAsStale(pop);
                confirmed = true;
            }
        }
    }
    if (!confirmed) {
        // The number alone may name another message by now: its size and its header block
        // must be the row's. A refusal of either means the message is not there.
        const bool listed = pop.List(message);
        if (pop.IsBroken())
            return failed();
        if (!listed || pop.GetMessageSize(message) != expected.octets)
            return RefuseAsStale(pop);
        pop.Top(message, 0);
        if (pop.IsBroken())
            return failed();
        if (pop.GetHeaderDigest() == 0 || pop.GetHeaderDigest() != expected.headerDigest)
            return RefuseAsStale(pop);
    }
    if (!pop.Dele(message) || !pop.Quit())
        return failed();
    return true;
}
