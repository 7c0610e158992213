#include "framework/win_app.h"

#include <commctrl.h>

#include "framework/dialog.h"
#include "settings/profile.h"

#include <utility>

namespace {

CWinApp* g_app = nullptr;

} // namespace

CWinApp::CWinApp(std::string appName)
    : m_appName(std::move(appName)), m_hInstance(::GetModuleHandleA(nullptr)) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp() {
    return g_app;
}

int CWinApp::Run() {
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_exitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1)
            break;
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return ExitInstance();
}

bool CWinApp::PreTranslateMessage(MSG* msg) {
    return CDialog::RouteToDialog(msg);
}

int CWinApp::GetProfileInt(const std::string& section, const std::string& key,
                           int defaultValue) const {
    return Profile::Application().GetInt(section, key, defaultValue);
}

std::string CWinApp::GetProfileString(const std::string& section, const std::string& key,
                                      const std::string& defaultValue) const {
    return Profile::Application().GetString(section, key, defaultValue);
}

bool CWinApp::WriteProfileInt(const std::string& section, const std::string& key, int value) {
    return Profile::Application().WriteInt(section, key, value);
}

bool CWinApp::WriteProfileString(const std::string& section, const std::string& key,
                                 const std::string& value) {
    return Profile::Application().WriteString(section, key, value);
}

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    // The list view, the animation and the property sheet need their classes registered.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
