#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "pop3/scratch_folder.h"
#include "settings/process_id.h"
#include "settings/profile.h"
#include "temp_profile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Too large for a Linux pid and not a multiple of four, as every Windows process id is.
constexpr unsigned long kNoProcess = 999999999;

// A process other than this one that lives as long as the object.
struct OtherProcess {
#ifdef _WIN32
    PROCESS_INFORMATION info = {};
    OtherProcess() {
        wchar_t self[MAX_PATH];
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        STARTUPINFOW startup = {sizeof startup};
        if (::CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                             nullptr, &startup, &info)) {
            ::CloseHandle(info.hThread);
        }
    }
    ~OtherProcess() {
        if (info.hProcess != nullptr) {
            ::TerminateProcess(info.hProcess, 0);
            ::CloseHandle(info.hProcess);
        }
    }
    unsigned long Id() const {
        return info.dwProcessId;
    }
#else
    const pid_t pid = ::fork();
    OtherProcess() {
        if (pid == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~OtherProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    unsigned long Id() const {
        return pid > 0 ? static_cast<unsigned long>(pid) : 0;
    }
#endif
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;
};

void Touch(const fs::path& path) {
    std::ofstream(path) << "left over";
}

TEST(Leftovers, OnlyWhatProcessesThatEndedLeftBehindIsRemoved) {
    const OtherProcess live;
    ASSERT_NE(live.Id(), 0u);
    ASSERT_FALSE(process_id::IsGone(live.Id()));
    ASSERT_TRUE(process_id::IsGone(kNoProcess));
    const std::string self = std::to_string(process_id::Current());
    const std::string alive = std::to_string(live.Id());
    const std::string gone = std::to_string(kNoProcess);

    // Spools: folders of this kind beside this process's own.
    const fs::path base = pop3::ScratchFolder().parent_path();
    ASSERT_FALSE(base.empty());
    const std::pair<std::string, bool> folders[] = {
        {"tarnwick-" + gone + "-a1B2c3", false}, {"tarnwick-" + alive + "-a1B2c3", true},
        {"tarnwick-" + self + "-zz", true},      {"tarnwick-" + gone, true},
        {"tarnwick-x" + gone + "-a", true},      {"tarnwick-0" + gone + "-a", true}};
    for (const auto& [name, stays] : folders) {
        fs::create_directory(base / name);
        Touch(base / name / "templist.pop");
    }
    pop3::RemoveAbandonedScratchFolders();
    for (const auto& [name, stays] : folders) {
        EXPECT_EQ(fs::exists(base / name), stays) << name;
        std::error_code ignored;
        fs::remove_all(base / name, ignored);
    }
    EXPECT_TRUE(fs::is_directory(pop3::ScratchFolder()));

    // The profile writer's temporary files: those of its own file only.
    TempProfile temp;
    const std::pair<std::string, bool> files[] = {
        {"tarnwick.ini.tmp." + gone + ".3", false}, {"tarnwick.ini.tmp." + alive + ".3", true},
        {"tarnwick.ini.tmp." + self + ".9", true},  {"tarnwick.ini.tmp." + gone, true},
        {"other.ini.tmp." + gone + ".3", true},     {"tarnwick.ini.tmp." + gone + ".x", true}};
    for (const auto& [name, stays] : files) {
        Touch(temp.Folder() / name);
    }
    ASSERT_TRUE(Profile(temp.Path()).WriteInt("Notification", "FirstTime", 0));
    for (const auto& [name, stays] : files) {
        EXPECT_EQ(fs::exists(temp.Folder() / name), stays) << name;
    }
}

} // namespace
