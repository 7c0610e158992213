#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "pop3/login_methods.h"
#include "pop3/response_code.h"
#include "pop3/security.h"

namespace net {
class CancelSignal;
}

class CPop;
class Messages;
class ProfileBatch;
struct MessageIdentity;

// The one POP3 mailbox, section "MailSettings" of the profile, with the outcome of the
// last check and the operations that check and delete.
class Account {
public:
    enum Status { CheckFailed = 0, ListRebuilt = 1, CountOnly = 2, MailboxEmpty = 8 };
    // Scrambles the password in the profile; changing it would lose every stored password.
    static constexpr int s_PasswordKey = 23;

    Account() = default;
    virtual ~Account() = default;
    Account(const Account&) = default;
    Account& operator=(const Account&) = default;

    bool Load();
    bool Save();
    // The same values, added to a save of several records.
    void Save(ProfileBatch& batch) const;
    void Set(std::string userName, std::string password, std::string mailServer, int summarySize,
             int summaries);
    static std::string Scramble(const std::string& text, int key);

    // One mailbox check. Replaces the caller's list (which it owns) only when a check
    // succeeds with summaries on and the count changed, or the messages differ from the
    // list's: by unique id on a server with UIDL, else by size; a failed check leaves the count and
    // the list as they were. A successful check leaves m_LastError as it was. The caller may pass a
    // copy of its list, or nullptr.
    void CheckMail(Messages*& list);
    // Deletes the message a row showed: message counts from 1, expected is the row's. The
    // number is first confirmed to name that message, by its unique id ("UIDL n") when the
    // row has one and the server answers, else by its size ("LIST n") and header block
    // ("TOP n 0"). On any difference nothing is deleted and DeleteRefusedAsStale() tells so.
    // Leaves m_MessageCount and m_Status alone. True only when the server took both DELE and
    // QUIT: POP3 removes a message at QUIT, not before.
    bool DeleteMessage(int message, const MessageIdentity& expected);
    bool DeleteRefusedAsStale() const { return m_DeleteRefusedAsStale; }

    int GetStatus() const { return m_Status; }
    // Time limit of each connect, exchange and silence of the sessions; tests shorten it.
    void SetTimeout(int milliseconds) { m_TimeoutMs = milliseconds; }
    // Lets another thread stop the sessions of this record at once (see CPop).
    void SetCancelSignal(std::shared_ptr<net::CancelSignal> signal) {
        m_Cancel = std::move(signal);
    }
    // Why the last check failed: a passing fault (no connection, a time limit, the
    // connection lost, a busy mailbox) may be gone when it is tried again later.
    const pop3::Fault& GetFault() const { return m_Fault; }
    // The same, in one word for scripts: "in-use", "login-delay", "temporary", "network",
    // "timeout", "auth", "certificate", "protocol" or "permanent"; empty after success.
    std::string GetFailureReason() const;
    // The server's own words about the last failure, with the failure text before them:
    // "text\nThe server said: words", or the text alone when it said nothing.
    std::string GetErrorTextWithServerWords() const;
    // Seconds the server wants between logins (its LOGIN-DELAY, kept in the profile as
    // "LoginDelay" with the time of the last login, "LastLogin"); -1: it named none. A check
    // sooner than that fails at once with the login-delay fault and nothing sent.
    int GetLoginDelay() const { return m_LoginDelay; }
    int SecondsUntilLoginAllowed() const;
    // Deadline of each whole session before it earns more by what the server sends.
    void SetSessionLimit(int milliseconds) { m_SessionLimitMs = milliseconds; }
    // The clock of the sessions' time rules; tests give their own.
    void SetClock(std::function<std::chrono::steady_clock::time_point()> now) {
        m_Now = std::move(now);
    }
    std::string GetErrorText() const { return m_LastError; }
    // The security a session uses: the stored choice, except that a server on port 995 with
    // none chosen gets TLS, as mail programs do.
    pop3::Security EffectiveSecurity() const;
    // Takes over the outcome of a check run on a copy: count, status, failure text and how
    // the session was secured.
    void TakeCheckOutcome(const Account& checked);
    // The last session got as far as a secure channel.
    bool WasSecure() const { return m_Secure; }
    // The last failure was an untrusted certificate, with this fingerprint.
    bool CertificateRejected() const { return m_CertificateRejected; }
    std::string GetServerFingerprint() const { return m_ServerFingerprint; }

    std::string m_UserName;
    std::string m_Password;
    std::string m_MailServer;
    int m_SummarySize = 8;
    int m_Summaries = 1;
    pop3::Security m_Security = pop3::Security::None; // "Security"; missing: none
    std::string m_TrustedCertificate;                 // "TrustedCertificate": a fingerprint
    pop3::LoginMethod m_LoginMethod = pop3::LoginMethod::Normal; // "LoginMethod"; missing: normal
    int m_MessageCount = 0;
    std::string m_LastError;
    int m_Status = ListRebuilt;

private:
    bool m_DeleteRefusedAsStale = false;
    bool m_Secure = false;
    bool m_CertificateRejected = false;
    pop3::Fault m_Fault;
    bool m_ProtocolFault = false; // the server's replies or offers made the check impossible
    bool m_TimedOut = false;
    int m_LoginDelay = -1;
    std::int64_t m_LastLoginAt = 0; // seconds since 1970
    std::string m_ServerFingerprint;
    std::string m_UnreadablePassword; // "ProtectedPassword" of another user or machine
    int m_TimeoutMs = 30000;
    std::shared_ptr<net::CancelSignal> m_Cancel;
    int m_SessionLimitMs = 120000;
    std::function<std::chrono::steady_clock::time_point()> m_Now = std::chrono::steady_clock::now;

    // "Mail server" is a host name or address, optionally followed by ":port".
    bool ConnectAndLogin(CPop& pop);
    void CheckFailedWith(const CPop& pop, int oldCount);
    void NoteFault(const CPop& pop);
    // After a login: when it was and what the server asks between logins, kept in the
    // profile for the next process too.
    void NoteLogin(const CPop& pop);
    bool RefuseBeforeLoginDelay();
    // Ends a check that got its answers; false when QUIT showed them not to be trustworthy.
    bool QuitAfterCheck(CPop& pop, int status, int oldCount);
    bool RefuseAsStale(CPop& pop);
};
