#include "main_window_harness.h"

#include "settings/account.h"
#include "settings/profile.h"

void WriteTestProfile(const std::string& server, const std::string& password,
                      const std::string& user) {
    Profile& profile = Profile::Application();
    profile.WriteString("MailSettings", "Mail server", server);
    profile.WriteString("MailSettings", "User name", user);
    profile.WriteString("MailSettings", "RegKey",
                        Account::Scramble(password, Account::s_PasswordKey));
    profile.WriteInt("Notification", "FirstTime", 0);
    profile.WriteInt("Notification", "CheckMailOnStartup", 0);
    profile.WriteInt("Notification", "UseDefaultSound", 1);
    profile.WriteInt("AutoUpdate", "CurrentVersion", 106);
}

AnswerProbe::AnswerProbe(HWND window, DWORD limitMs, DWORD pauseMs)
    : m_thread([this, window, limitMs, pauseMs] {
          while (!m_stop) {
              DWORD_PTR result = 0;
              if (!::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, limitMs, &result))
                  ++m_missed;
              ++m_asked;
              ::Sleep(pauseMs);
          }
          m_finished = true;
      }) {}

void AnswerProbe::Stop() {
    m_stop = true;
    PumpUntil([this] { return m_finished.load(); }, 15000);
    if (m_thread.joinable())
        m_thread.join();
}

SheetAnswer::SheetAnswer(std::function<void(HWND)> answer)
    : m_answer(std::move(answer)), m_timer(::SetTimer(nullptr, 0, 50, &OnTimer)) {
    s_current = this;
}

SheetAnswer::~SheetAnswer() {
    ::KillTimer(nullptr, m_timer);
    s_current = nullptr;
}

void CALLBACK SheetAnswer::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND sheet = ::FindWindowA(nullptr, "Configuration");
    if (s_current == nullptr || sheet == nullptr || !::IsWindowVisible(sheet))
        return;
    ::KillTimer(nullptr, s_current->m_timer);
    s_current->m_answer(sheet);
}

testsupport::Mailbox MailboxOf(int count, bool withUids) {
    testsupport::Mailbox mailbox;
    if (withUids)
        mailbox.capabilities = {"UIDL"};
    for (int i = 1; i <= count; ++i) {
        auto message =
            testsupport::MakeMessage("Sender " + std::to_string(i), "Subject " + std::to_string(i),
                                     {"Line one of " + std::to_string(i)});
        message.size = 1500;
        if (withUids)
            message.uid = "u" + std::to_string(i);
        mailbox.messages.push_back(message);
    }
    return mailbox;
}

MainWindowTest::MainWindowTest()
    : m_previousSound(SetSoundHandler([this](const std::string& file) {
          m_sounds.push_back(file);
          return true;
      })),
      m_previousLaunch(SetLaunchHandler([this](const LaunchRequest& request) {
          m_launched.push_back({request.kind, request.target});
          return m_launchResult;
      })) {}

MainWindowTest::~MainWindowTest() {
    SetSoundHandler(std::move(m_previousSound));
    SetLaunchHandler(std::move(m_previousLaunch));
}

testsupport::ScriptedPop3Server& MainWindowTest::Serve(const testsupport::Mailbox& mailbox) {
    m_servers.push_back(std::make_unique<testsupport::ScriptedPop3Server>());
    m_servers.back()->ServeMailbox(mailbox).Start();
    return *m_servers.back();
}
