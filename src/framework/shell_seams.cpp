#include "framework/shell_seams.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <utility>

namespace {

SoundHandler& Sound() {
    static SoundHandler handler;
    return handler;
}

LaunchHandler& Launcher() {
    static LaunchHandler handler;
    return handler;
}

} // namespace

bool PlaySoundFile(const std::string& file) {
    if (Sound())
        return Sound()(file);
    return ::PlaySoundA(file.c_str(), nullptr, SND_FILENAME | SND_ASYNC) != FALSE;
}

SoundHandler SetSoundHandler(SoundHandler handler) {
    SoundHandler previous = std::move(Sound());
    Sound() = std::move(handler);
    return previous;
}

namespace {

// Neither start waits for the started program: WinExec would hold the window until the
// program first asks for a message, which some never do.
UINT_PTR OpenWithShell(const LaunchRequest& request) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = request.owner;
    info.lpVerb = "open";
    info.lpFile = request.target.c_str();
    info.nShow = request.show;
    const bool started = ::ShellExecuteExA(&info) != FALSE;
    const auto result = reinterpret_cast<UINT_PTR>(info.hInstApp);
    if (!started && (result == 0 || result > 32))
        return SE_ERR_FNF;
    return result;
}

UINT_PTR RunCommandLine(const LaunchRequest& request) {
    if (request.target.empty())
        return ERROR_FILE_NOT_FOUND;
    std::string commandLine = request.target; // CreateProcessA may write to it
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(request.show);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        // WinExec's answers: the system's error number when it is one of its small ones.
        const DWORD error = ::GetLastError();
        return error != 0 && error <= 31 ? error : ERROR_FILE_NOT_FOUND;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return 33; // above 31: started
}

} // namespace

UINT_PTR Launch(const LaunchRequest& request) {
    if (Launcher())
        return Launcher()(request);
    return request.kind == LaunchRequest::ShellOpen ? OpenWithShell(request)
                                                    : RunCommandLine(request);
}

LaunchHandler SetLaunchHandler(LaunchHandler handler) {
    LaunchHandler previous = std::move(Launcher());
    Launcher() = std::move(handler);
    return previous;
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length < MAX_PATH ? length : 0);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}
