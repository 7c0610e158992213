// tarnwick-check: one mailbox check from the command line, for scripts and status bars.
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/report.h"
#include "cli/terminal.h"
#include "net/tcp_socket.h"
#include "pop3/messages.h"
#include "settings/account.h"
#include "settings/profile.h"

namespace {

constexpr int kFailure = 2; // the usage and the setup fail with it too

int Fail(const std::string& text) {
    std::cerr << text << "\n";
    return kFailure;
}

int RunCheck(const cli::Options& options) {
    Account account;
    account.Load();
    if (account.m_MailServer.empty()) {
        return Fail("No mail server in " + Profile::Application().Path() +
                    "; run tarnwick-check --setup first.");
    }
    Messages* raw = nullptr;
    account.CheckMail(raw);
    const std::unique_ptr<Messages> list(raw);

    const cli::Report report = cli::MakeReport(account, list.get());
    std::cout.flush();
    cli::WriteText(stdout, options.json ? cli::FormatJson(report) : cli::FormatText(report));
    if (report.failed) {
        std::cerr.flush();
        cli::WriteText(stderr, cli::FormatFailure(report));
        if (account.CertificateRejected()) {
            std::cerr << "If this is your server's certificate, trust it with:\n"
                      << "  tarnwick-check --trust-certificate " << account.GetServerFingerprint()
                      << "\n";
        }
    }
    return cli::ExitStatus(report);
}

// One line of standard input without its line end; false when there is none.
bool ReadStdinLine(std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::getchar()) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return any;
}

// Takes the given value, or asks with the stored one offered as the default.
bool Obtain(bool given, const std::string& value, const std::string& prompt,
            const std::string& option, std::string& field, std::string& error) {
    if (given) {
        field = value;
        return true;
    }
    std::string answer;
    if (!cli::AskTerminal(prompt + " [" + field + "]: ", true, answer)) {
        error = "No terminal to ask for the value of " + option + "; give " + option + ".";
        return false;
    }
    if (!answer.empty()) {
        field = answer;
    }
    return true;
}

int RunSetup(const cli::Options& options) {
    // Loading first keeps the summary settings the window stored.
    Account account;
    account.Load();
    std::string server = account.m_MailServer;
    std::string user = account.m_UserName;
    std::string password = account.m_Password;
    std::string error;
    if (!Obtain(options.hasServer, options.server, "Mail server", "--server", server, error) ||
        !Obtain(options.hasUser, options.user, "User name", "--user", user, error)) {
        return Fail(error);
    }
    if (options.passwordStdin) {
        if (!ReadStdinLine(password)) {
            return Fail("No password on standard input.");
        }
    } else {
        std::string answer;
        if (!cli::AskTerminal("Password (empty keeps the stored one): ", false, answer)) {
            return Fail("No terminal to ask for the password; use --password-stdin.");
        }
        if (!answer.empty()) {
            password = answer;
        }
    }
    if (server.empty()) {
        return Fail("The mail server must not be empty.");
    }

    account.Set(user, password, server, account.m_SummarySize, account.m_Summaries);
    if (options.hasSecurity) {
        pop3::ParseSecurity(options.security, account.m_Security);
    }
    if (options.hasLogin) {
        pop3::ParseLoginMethod(options.login, account.m_LoginMethod);
    }
    if (!options.trustCertificate.empty()) {
        account.m_TrustedCertificate = options.trustCertificate;
    }
    account.Save();

    // Save reports no failure of its own; reading back tells whether the profile took it.
    Account stored;
    stored.Load();
    if (stored.m_MailServer != server || stored.m_UserName != user ||
        stored.m_Password != password || stored.m_Security != account.m_Security ||
        stored.m_LoginMethod != account.m_LoginMethod ||
        stored.m_TrustedCertificate != account.m_TrustedCertificate) {
        return Fail("Could not write the profile " + Profile::Application().Path() + ".");
    }
    std::cout << "Account stored in " << Profile::Application().Path() << ".\n";
    return 0;
}

int RunTrust(const cli::Options& options) {
    Account account;
    account.Load();
    account.m_TrustedCertificate = options.trustCertificate;
    account.Save();
    Account stored;
    stored.Load();
    if (stored.m_TrustedCertificate != options.trustCertificate) {
        return Fail("Could not write the profile " + Profile::Application().Path() + ".");
    }
    std::cout << "Certificate " << options.trustCertificate << " trusted in "
              << Profile::Application().Path() << ".\n";
    return 0;
}

int Run(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    cli::Options options;
    std::string error;
    if (!cli::ParseArguments(args, options, error)) {
        std::cerr << "tarnwick-check: " << error << "\n\n" << cli::UsageText();
        return kFailure;
    }
    if (options.mode == cli::Mode::Help) {
        std::cout << cli::UsageText();
        return 0;
    }
    if (!options.profile.empty()) {
        Profile::UseFile(options.profile);
    }
    if (options.mode == cli::Mode::Setup) {
        return RunSetup(options);
    }
    if (options.mode == cli::Mode::Trust) {
        return RunTrust(options);
    }
    if (!net::InitSockets()) {
        return Fail("The socket layer cannot be started.");
    }
    return RunCheck(options);
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        return Fail(std::string("tarnwick-check: ") + e.what());
    }
}
