#include "settings/account.h"

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
    if (!pop.Connect(server->host, server->port, m_UserName, m_Password)) {
        m_LastError = pop.GetErrorText();
        return false;
    }
    return true;
}

void Account::CheckMail(Messages*& list) {
    CPop pop;
    if (!ConnectAndLogin(pop)) {
        m_Status = CheckFailed;
        return;
    }
    if (!pop.Stat()) {
        m_LastError = pop.GetErrorText();
        m_Status = CheckFailed;
        return;
    }
    const int oldCount = m_MessageCount;
    m_MessageCount = pop.GetMessageCount();

    if (m_MessageCount <= 0) {
        // No QUIT: the connection closes when the client goes.
        m_Status = MailboxEmpty;
        return;
    }
    if (m_Summaries == 0 || m_MessageCount == oldCount) {
        pop.Quit();
        m_Status = CountOnly;
        return;
    }

    // A hostile count must fail the check, not end the program.
    Messages* fresh = nullptr;
    try {
        fresh = new Messages(m_MessageCount);
    } catch (const std::exception&) { // bad_alloc, or length_error on 32-bit
        m_LastError = kNoMemory;
        m_Status = CheckFailed;
        return;
    }
    delete list;
    list = fresh;

    if (!pop.List()) {
        m_LastError = pop.GetErrorText();
        m_Status = CheckFailed;
        return;
    }
    for (int n = 1; n <= m_MessageCount; ++n) {
        // A message whose headers could not be read still gets its row.
        pop.Top(n, m_SummarySize);
        list->Add(pop.m_From, pop.m_Subject, ToKilobytes(pop.GetMessageSize(n)), pop.GetSummary());
    }
    pop.Quit();
    m_Status = ListRebuilt;
}

bool Account::DeleteMessage(int message) {
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
