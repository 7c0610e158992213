#pragma once

#include <string>

class Messages;

// The one POP3 mailbox, section "MailSettings" of the profile, with the outcome of the
// last check and the operations that check and delete.
class Account {
public:
    enum Status { CheckFailed = 0, ListRebuilt = 1, CountOnly = 2, MailboxEmpty = 8 };

    Account() = default;
    virtual ~Account() = default;
    Account(const Account&) = default;
    Account& operator=(const Account&) = default;

    bool Load();
    bool Save();
    void Set(std::string userName, std::string password, std::string mailServer, int summarySize,
             int summaries);
    static std::string Scramble(const std::string& text, int key);

    // One mailbox check; may replace *list with a new record (the caller owns it).
    void CheckMail(Messages*& list);
    bool DeleteMessage(int message);

    int GetStatus() const { return m_Status; }
    std::string GetErrorText() const { return m_LastError; }

    std::string m_UserName;
    std::string m_Password;
    std::string m_MailServer;
    int m_SummarySize = 8;
    int m_Summaries = 1;
    int m_MessageCount = 0;
    std::string m_LastError;
    int m_Status = ListRebuilt;
};
