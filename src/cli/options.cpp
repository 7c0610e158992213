#include "cli/options.h"

#include "net/tls_stream.h"

namespace cli {

namespace {

// Accepts "--name value" and "--name=value". Returns false when name does not match.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value, bool& missing) {
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size()) {
            missing = true;
            return true;
        }
        value = args[++i];
        return true;
    }
    if (arg.compare(0, name.size() + 1, name + "=") == 0) {
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

} // namespace

bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error) {
    options = Options();
    bool help = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool missing = false;
        std::string value;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--setup") {
            options.mode = Mode::Setup;
        } else if (arg == "--password-stdin") {
            options.passwordStdin = true;
        } else if (TakeValue(args, i, "--profile", value, missing)) {
            options.profile = value;
            if (!missing && value.empty()) {
                error = "--profile needs a file name";
                return false;
            }
        } else if (TakeValue(args, i, "--server", value, missing)) {
            options.hasServer = true;
            options.server = value;
        } else if (TakeValue(args, i, "--user", value, missing)) {
            options.hasUser = true;
            options.user = value;
        } else if (TakeValue(args, i, "--security", value, missing)) {
            options.hasSecurity = true;
            options.security = value;
            if (!missing && value != "none" && value != "starttls" && value != "tls") {
                error = "--security takes none, starttls or tls";
                return false;
            }
        } else if (TakeValue(args, i, "--login", value, missing)) {
            options.hasLogin = true;
            options.login = value;
            if (!missing && value != "normal" && value != "encrypted") {
                error = "--login takes normal or encrypted";
                return false;
            }
        } else if (TakeValue(args, i, "--trust-certificate", value, missing)) {
            options.trustCertificate = net::NormalizeFingerprint(value);
            if (!missing && options.trustCertificate.empty()) {
                error = "--trust-certificate takes a SHA-256 fingerprint: 64 hexadecimal digits";
                return false;
            }
        } else if (arg == "--password" || arg.compare(0, 11, "--password=") == 0) {
            // Anything on the command line is visible to every user of the machine.
            error = "the password is never taken from the command line; use --password-stdin";
            return false;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            error = "unexpected argument " + arg;
            return false;
        }
        if (missing) {
            error = arg + " needs a value";
            return false;
        }
    }
    if (help) {
        options.mode = Mode::Help;
        return true;
    }
    const bool setupOnly = options.hasServer || options.hasUser || options.passwordStdin ||
                           options.hasSecurity || options.hasLogin;
    if (options.mode != Mode::Setup && setupOnly) {
        error = "--server, --user, --password-stdin, --security and --login go with --setup";
        return false;
    }
    if (options.mode == Mode::Check && !options.trustCertificate.empty()) {
        if (options.json) {
            error = "--json goes with a check, not with --trust-certificate";
            return false;
        }
        options.mode = Mode::Trust;
    }
    if (options.mode == Mode::Setup && options.json) {
        error = "--json goes with a check, not with --setup";
        return false;
    }
    return true;
}

std::string UsageText() {
    return "usage: tarnwick-check [--profile FILE] [--json]\n"
           "       tarnwick-check --setup [--profile FILE] [--server HOST[:PORT]] [--user NAME]\n"
           "                      [--password-stdin] [--security none|starttls|tls]\n"
           "                      [--login normal|encrypted]\n"
           "                      [--trust-certificate FINGERPRINT]\n"
           "       tarnwick-check --trust-certificate FINGERPRINT [--profile FILE]\n"
           "       tarnwick-check --help\n"
           "\n"
           "Checks the POP3 mailbox of the profile once and lists the waiting messages.\n"
           "\n"
           "  --profile FILE    use this profile instead of the default one\n"
           "  --json            print the result as JSON\n"
           "  --setup           store the account in the profile; what is not given is asked\n"
           "                    for on the terminal (the password without echo)\n"
           "  --server HOST     the POP3 server, HOST or HOST:PORT (port 110 when none, 995\n"
           "                    with --security tls; port 995 alone means tls)\n"
           "  --user NAME       the POP3 user name\n"
           "  --password-stdin  read the password from the first line of standard input\n"
           "  --security MODE   none, starttls (STLS on the plain port) or tls (from the\n"
           "                    first byte); kept as stored when not given\n"
           "  --login METHOD    normal (the password as such, USER and PASS or SASL PLAIN) or\n"
           "                    encrypted (CRAM-MD5 or APOP: never the password itself);\n"
           "                    kept as stored when not given\n"
           "  --trust-certificate FINGERPRINT\n"
           "                    accept the server certificate with this SHA-256 fingerprint\n"
           "                    even where its chain or name does not validate\n"
           "  --help            show this text\n"
           "\n"
           "Exit status: 0 mail is waiting, 1 the mailbox is empty, 75 a failure that passes\n"
           "by itself (try again later), 2 any other failure.\n";
}

} // namespace cli
