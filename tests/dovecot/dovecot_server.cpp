#include "dovecot_server.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kScript = std::string("bash ") + TARNWICK_DOVECOT_SCRIPT;

} // namespace

DovecotServer& DovecotServer::Get() {
    static DovecotServer server;
    return server;
}

DovecotServer::DovecotServer() {
    char pattern[] = "/tmp/tarnwick-dovecot-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        m_error = "cannot create a temporary folder";
        return;
    }
    m_folder = pattern;
    // Given our pid, the server also goes when this process dies without stopping it.
    const ProcessResult r = Run(kScript + " start " + m_folder + " " + std::to_string(getpid()));
    const int port = r.exitCode == 0 ? std::atoi(r.out.c_str()) : 0;
    if (port <= 0 || port > 65535) {
        m_error = "dovecot.sh start failed: " + r.out + r.err;
        return;
    }
    m_port = static_cast<unsigned short>(port);
    m_tlsPort = static_cast<unsigned short>(
        std::atoi(TempProfile::ReadFile(m_folder + "/pop3s.port").c_str()));
}

DovecotServer::~DovecotServer() {
    if (m_port != 0) {
        Run(kScript + " stop " + m_folder);
    }
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

bool DovecotServer::Seed(int count, const std::vector<int>& sizes) {
    std::string command = kScript + " seed " + m_folder + " " + std::to_string(count);
    for (int size : sizes) {
        command += " " + std::to_string(size);
    }
    const ProcessResult r = Run(command);
    EXPECT_EQ(r.exitCode, 0) << "dovecot.sh seed failed: " << r.err;
    return r.exitCode == 0;
}

void DovecotServer::SeedFiles(const std::vector<std::string>& paths) {
    Seed(0);
    const std::string folder = m_folder + "/mail/test/Maildir/new/";
    int n = 0;
    for (const std::string& path : paths) {
        // Named as the seeded ones are, so that Dovecot keeps their order.
        ++n;
        const std::string target =
            folder + std::to_string(1700000000 + n) + ".M" + std::to_string(n) + "P1.tarnwick";
        std::error_code error;
        fs::copy_file(path, target, error);
        if (error || chown(target.c_str(), 5000, 5000) != 0) {
            ADD_FAILURE() << "cannot seed " << path;
        }
    }
}

ProcessResult DovecotServer::Run(const std::string& command, const std::string& input) {
    const std::string io = m_folder + "/io.";
    std::ofstream(io + "in", std::ios::binary) << input;
    const int status = std::system(
        ("setsid -w timeout 120 " + command + " <" + io + "in >" + io + "out 2>" + io + "err")
            .c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempProfile::ReadFile(io + "out"),
            TempProfile::ReadFile(io + "err")};
}
