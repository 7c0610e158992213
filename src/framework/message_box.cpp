#include "framework/message_box.h"

#include "framework/win_app.h"
#include "mime/utf16_win.h"

#include <utility>

namespace {

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

std::string ModuleBaseName() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length < MAX_PATH ? length : 0);
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

} // namespace

int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    if (Handler())
        return Handler()(owner, text, caption, flags);
    // Wide, so that a server's text and the From and Subject it quotes show in any language.
    return ::MessageBoxW(owner, mime::ToUtf16(text).c_str(), mime::ToUtf16(caption).c_str(), flags);
}

int AfxMessageBox(const std::string& text, UINT flags, HWND owner) {
    const CWinApp* app = AfxGetApp();
    const std::string caption = app != nullptr ? app->m_appName : ModuleBaseName();
    if (owner == nullptr)
        owner = ::GetActiveWindow();
    return ShowMessageBox(owner, text, caption, flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}
