#pragma once

#include <string>
#include <vector>

namespace cli {

enum class Mode { Check, Setup, Help, Trust };

struct Options {
    Mode mode = Mode::Check;
    bool json = false;
    std::string profile; // empty: the default profile
    // Setup only; a value left empty is asked for on the terminal.
    bool hasServer = false;
    std::string server;
    bool hasUser = false;
    std::string user;
    bool passwordStdin = false;
    bool hasSecurity = false;
    std::string security; // "none", "starttls" or "tls"
    bool hasLogin = false;
    std::string login; // "normal" or "encrypted"
    // Alone or with --setup: the canonical fingerprint of a certificate to trust.
    std::string trustCertificate;
};

// Reads the arguments after the program name. False with a one-line reason in error when
// they make no sense together.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

std::string UsageText();

} // namespace cli
