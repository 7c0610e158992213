#include "app/tarnwick_app.h"

#include "framework/message_box.h"
#include "mainwnd/tarnwick_dlg.h"
#include "res/resource.h"
#include "settings/profile.h"
#include "update/auto_update_client.h"

#include <winsock2.h>

CTarnwickApp::CTarnwickApp() : CWinApp("Tarnwick") {}

void CTarnwickApp::RunVersionGate() {
    if (CAutoUpdateClient::GetCurrentVersion() < kProgramVersion) {
        CAutoUpdateClient::SetCurrentVersion(kProgramVersion);
        Profile::Application().WriteInt("Notification", "FirstTime", 1);
    }
}

bool CTarnwickApp::InitInstance() {
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
        dialog.DoModal();
    }
    ::WSACleanup();
    return false;
}
