#include "app/tarnwick_app.h"

#include "app/single_instance.h"

#include "framework/message_box.h"
#include "mainwnd/tarnwick_dlg.h"
#include "res/resource.h"
#include "settings/profile.h"
#include "update/auto_update_client.h"

#include <winsock2.h>

namespace {

// How long a second start looks for the first one's window, which a first start that is
// still setting up may not have made yet.
constexpr DWORD kFindRunningMs = 10000;

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
    CSingleInstance instance;
    if (!instance.Claim()) {
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
        instance.CreateInstanceWindow(&dialog);
        dialog.DoModal();
    }
    ::WSACleanup();
    return false;
}
