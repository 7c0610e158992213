#include "app/tarnwick_app.h"

#include "app/single_instance.h"

#include "framework/message_box.h"
#include "mainwnd/tarnwick_dlg.h"
#include "res/resource.h"
#include "settings/profile.h"
#include "update/auto_update_client.h"

#include <winsock2.h>

#include <shellapi.h>

namespace {

// How long a second start looks for the first one's window, which a first start that is
// still setting up may not have made yet.
constexpr DWORD kFindRunningMs = 10000;

// The Run entry and setup's restart after an upgrade pass it: the program starts in the tray.
constexpr wchar_t kTrayArgument[] = L"/tray";

bool AskedToStartInTray() {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr)
        return false;
    bool inTray = false;
    for (int i = 1; i < count; ++i)
        inTray = inTray || ::lstrcmpiW(arguments[i], kTrayArgument) == 0;
    ::LocalFree(arguments);
    return inTray;
}

} // namespace

CTarnwickApp::CTarnwickApp() : CWinApp("Tarnwick") {}

void CTarnwickApp::RunVersionGate() {
    if (CAutoUpdateClient::GetCurrentVersion() < kProgramVersion) {
        ProfileBatch batch(Profile::Application());
        batch.WriteInt("AutoUpdate", "CurrentVersion", kProgramVersion);
        batch.WriteInt("Notification", "FirstTime", 1);
        batch.Commit();
    }
}

bool CTarnwickApp::InitInstance() {
    const bool inTray = AskedToStartInTray();
    CSingleInstance instance;
    if (!instance.Claim()) {
        // A quiet start leaves the running one as it is.
        if (!inTray)
            CSingleInstance::ActivateRunning(kFindRunningMs);
        return false;
    }
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        char text[512] = {};
        ::LoadStringA(m_hInstance, IDP_SOCKETS_INIT_FAILED, text, sizeof(text));
        AfxMessageBox(text, MB_OK);
        return false;
    }
    RunVersionGate();
    {
        CTarnwickDlg dialog;
        dialog.SetStartInTray(inTray);
        instance.CreateInstanceWindow(&dialog);
        dialog.DoModal();
    }
    ::WSACleanup();
    return false;
}
