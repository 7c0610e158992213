// The update check against a real web server: Debian's nginx, which still answers the
// oldest request form ("GET " + target + LF) with the bare file, started on loopback here.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "net/tcp_listener.h"
#include "net/tcp_socket.h"
#include "temp_profile.h"
#include "update/auto_update_client.h"

extern char** environ;

namespace {

const char kNginx[] = "/usr/sbin/nginx";

class Nginx {
public:
    explicit Nginx(const std::filesystem::path& folder) {
        {
            net::TcpListener probe;
            if (!probe.Listen(0))
                return;
            m_port = probe.Port();
        }
        const std::filesystem::path conf = folder / "nginx.conf";
        std::ofstream(conf) << "daemon off;\nworker_processes 1;\npid " << (folder / "nginx.pid")
                            << ";\nerror_log " << (folder / "error.log")
                            << ";\nevents {}\nhttp {\n  access_log off;\n"
                            << "  client_body_temp_path " << (folder / "body") << ";\n"
                            << "  server { listen 127.0.0.1:" << m_port << "; root "
                            << (folder / "www") << "; }\n}\n";
        const std::string confText = conf.string(), prefix = folder.string() + "/",
                          errorLog = (folder / "error.log").string();
        const char* argv[] = {kNginx,         "-c", confText.c_str(), "-p",
                              prefix.c_str(), "-e", errorLog.c_str(), nullptr};
        if (posix_spawn(&m_pid, kNginx, nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            m_pid = -1;
    }
    ~Nginx() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;

    // True once the server accepts connections (within ten seconds).
    bool WaitUntilListening() const {
        for (int attempt = 0; m_pid > 0 && attempt < 100; ++attempt) {
            net::TcpSocket socket;
            if (socket.Connect("127.0.0.1", m_port, 100))
                return true;
            usleep(100 * 1000);
        }
        return false;
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }

private:
    pid_t m_pid = -1;
    unsigned short m_port = 0;
};

TEST(UpdateWebServer, NginxServesTheUpdateFileToTheCheck) {
    if (access(kNginx, X_OK) != 0)
        GTEST_SKIP() << "nginx is not installed";
    TempProfile profile;
    const std::filesystem::path www = profile.Folder() / "www" / "tarnwick";
    std::filesystem::create_directories(www);
    std::filesystem::create_directories(profile.Folder() / "body");
    std::ofstream(www / "autoupdate.dat", std::ios::binary)
        << "version=107\r\nurl=http://tarnwick.example.org/tarnwick107.exe\r\n";
    // nginx's workers run as an unprivileged user and must be able to read the file.
    std::filesystem::permissions(profile.Folder(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    Nginx nginx(profile.Folder());
    ASSERT_TRUE(nginx.WaitUntilListening());

    for (const std::string& path : {"http://" + nginx.Address() + "/tarnwick/autoupdate.dat",
                                    std::string("/tarnwick/autoupdate.dat")}) {
        CAutoUpdateClient seed(nginx.Address(), path, kProgramVersion, 3);
        seed.Save();
        CAutoUpdateClient client(1);
        EXPECT_TRUE(client.IsNewVersion()) << path;
        EXPECT_EQ("http://tarnwick.example.org/tarnwick107.exe", client.GetDownloadURL()) << path;
        EXPECT_EQ(0, Profile::Application().GetInt("AutoUpdate", "Activation", -1));
    }
}

} // namespace
