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

UINT_PTR Launch(const LaunchRequest& request) {
    if (Launcher())
        return Launcher()(request);
    if (request.kind == LaunchRequest::ShellOpen)
        return reinterpret_cast<UINT_PTR>(::ShellExecuteA(
            request.owner, "open", request.target.c_str(), nullptr, nullptr, request.show));
    return ::WinExec(request.target.c_str(), static_cast<UINT>(request.show));
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
