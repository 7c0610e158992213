#include "dovecot_server.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "run_process.h"

namespace {

constexpr int kScriptTimeoutMs = 120000;

} // namespace

DovecotServer::~DovecotServer() {
    Stop();
    if (!m_folder.empty()) {
        RunProcess({"/bin/rm", "-rf", m_folder}, "");
    }
}

bool DovecotServer::RunScript(const std::vector<std::string>& args, std::string& out) {
    std::vector<std::string> argv = {"/bin/bash", TARNWICK_DOVECOT_SCRIPT};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProcessResult r = RunProcess(argv, "", kScriptTimeoutMs);
    out = r.out;
    if (r.exitCode != 0) {
        m_error = "dovecot.sh " + args[0] + " failed" + (r.timedOut ? " (time limit)" : "") + ": " +
                  r.err;
        return false;
    }
    return true;
}

bool DovecotServer::Start() {
    char pattern[] = "/tmp/tarnwick-dovecot-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        m_error = "cannot create a temporary folder";
        return false;
    }
    m_folder = pattern;
    std::string out;
    // With our pid the server goes away even if this process dies without stopping it.
    if (!RunScript({"start", m_folder, std::to_string(getpid())}, out)) {
        return false;
    }
    const int port = std::atoi(out.c_str());
    if (port <= 0 || port > 65535) {
        m_error = "dovecot.sh start printed no port: " + out;
        return false;
    }
    m_port = static_cast<unsigned short>(port);
    m_running = true;
    return true;
}

void DovecotServer::Stop() {
    if (m_running) {
        std::string out;
        RunScript({"stop", m_folder}, out);
        m_running = false;
    }
}

bool DovecotServer::Seed(int count, const std::vector<int>& sizes) {
    std::vector<std::string> args = {"seed", m_folder, std::to_string(count)};
    for (int size : sizes) {
        args.push_back(std::to_string(size));
    }
    std::string out;
    return RunScript(args, out);
}

int SeededMessage::Octets() const {
    int octets = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        octets += (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) ? 2 : 1;
    }
    return octets;
}

std::string SeededMessage::Header(const std::string& name) const {
    std::istringstream lines(text.substr(0, text.find("\r\n\r\n")));
    std::string line;
    const std::string prefix = name + ": ";
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.compare(0, prefix.size(), prefix) == 0) {
            return line.substr(prefix.size());
        }
    }
    return std::string();
}

std::string SeededMessage::TopBody(int lines) const {
    const std::size_t start = text.find("\r\n\r\n");
    std::string body;
    std::size_t pos = start == std::string::npos ? text.size() : start + 4;
    for (int k = 0; k < lines && pos < text.size(); ++k) {
        const std::size_t end = text.find("\r\n", pos);
        const std::string line = text.substr(pos, end - pos);
        body += (line.compare(0, 1, ".") == 0 ? "." : "") + line + "\r\n";
        pos = end == std::string::npos ? text.size() : end + 2;
    }
    return body + ".\r\n";
}

std::vector<SeededMessage> ReadSeeded(const DovecotServer& server) {
    const std::string maildir = server.Folder() + "/mail/test/Maildir/";
    std::vector<std::string> paths;
    // Dovecot moves what it has seen from new/ to cur/, keeping the front of the name.
    for (const char* sub : {"new", "cur"}) {
        const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir((maildir + sub).c_str()), closedir);
        while (dir) {
            const dirent* entry = readdir(dir.get());
            if (entry == nullptr) {
                break;
            }
            if (entry->d_name[0] != '.') {
                paths.push_back(std::string(entry->d_name) + "\n" + maildir + sub + "/" +
                                entry->d_name);
            }
        }
    }
    // The names start with fixed-width time stamps in server order.
    std::sort(paths.begin(), paths.end());
    std::vector<SeededMessage> messages;
    for (const std::string& key : paths) {
        std::ifstream file(key.substr(key.find('\n') + 1), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        messages.push_back({text.str()});
    }
    return messages;
}
