#include "cli/options.h"

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
    const bool setupOnly = options.hasServer || options.hasUser || options.passwordStdin;
    if (options.mode != Mode::Setup && setupOnly) {
        error = "--server, --user and --password-stdin go with --setup";
        return false;
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
           "                      [--password-stdin]\n"
           "       tarnwick-check --help\n"
           "\n"
           "Checks the POP3 mailbox of the profile once and lists the waiting messages.\n"
           "\n"
           "  --profile FILE    use this profile instead of the default one\n"
           "  --json            print the result as JSON\n"
           "  --setup           store the account in the profile; what is not given is asked\n"
           "                    for on the terminal (the password without echo)\n"
           "  --server HOST     the POP3 server, HOST or HOST:PORT (port 110 when none)\n"
           "  --user NAME       the POP3 user name\n"
           "  --password-stdin  read the password from the first line of standard input\n"
           "  --help            show this text\n"
           "\n"
           "Exit status: 0 mail is waiting, 1 the mailbox is empty, 2 failure.\n";
}

} // namespace cli
