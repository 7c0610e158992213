// The update check against a real web server: Debian's nginx still answers the oldest
// request form ("GET " + target + LF) with the bare file. The test starts it on loopback.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "net/tcp_listener.h"
#include "temp_profile.h"
#include "update/auto_update_client.h"

extern char** environ;

namespace {

const char kNginx[] = "/usr/sbin/nginx";

TEST(UpdateWebServer, NginxServesTheUpdateFileToTheCheck) {
    if (access(kNginx, X_OK) != 0)
        GTEST_SKIP() << "nginx is not installed";
    TempProfile profile;
    const std::filesystem::path folder = profile.Folder();
    std::filesystem::create_directories(folder / "www" / "tarnwick");
    std::ofstream(folder / "www" / "tarnwick" / "autoupdate.dat", std::ios::binary)
        << "version=107\r\nurl=http://tarnwick.example.org/tarnwick107.exe\r\n";
    unsigned short port = 0;
    {
        net::TcpListener probe; // a free port, given back for nginx to take
        ASSERT_TRUE(probe.Listen(0));
        port = probe.Port();
    }
    const std::string address = "127.0.0.1:" + std::to_string(port);
    std::ofstream(folder / "nginx.conf")
        << "daemon off;\npid nginx.pid;\nevents {}\nhttp {\n access_log off;\n"
        << " client_body_temp_path body;\n server { listen " << address << "; root "
        << (folder / "www").string() << "; }\n}\n";
    const std::string conf = (folder / "nginx.conf").string(), prefix = folder.string() + "/",
                      log = (folder / "error.log").string();
    const char* argv[] = {kNginx,         "-c", conf.c_str(), "-p",
                          prefix.c_str(), "-e", log.c_str(),  nullptr};
    pid_t pid = -1;
    ASSERT_EQ(0, posix_spawn(&pid, kNginx, nullptr, nullptr, const_cast<char**>(argv), environ));

    // Until nginx listens, the check fails and keeps counting; a forced one checks anyway.
    // The stored path is the whole address, as the program seeds it.
    CAutoUpdateClient::SetTimeLimit(1000);
    bool found = false;
    for (int attempt = 0; attempt < 100 && !found; ++attempt) {
        CAutoUpdateClient(address, "http://" + address + "/tarnwick/autoupdate.dat",
                          kProgramVersion, 3)
            .Save();
        found = CAutoUpdateClient(1).IsNewVersion();
        if (!found)
            usleep(100 * 1000);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ("http://tarnwick.example.org/tarnwick107.exe",
              Profile::Application().GetString("AutoUpdate", "DownloadURL"));
    EXPECT_EQ(0, Profile::Application().GetInt("AutoUpdate", "Activation", -1));
    CAutoUpdateClient::SetTimeLimit(5000);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

} // namespace
