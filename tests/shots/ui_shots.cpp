// Opens what the user sees - the configuration sheet on each of its pages, with the tray
// icon showing, and the about box, the update notice and the rolling credits - and announces each
// sight on standard output ("SHOT name") so that tools/screenshots.sh can photograph the screen
// while it stays up.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "about/about_dlg.h"
#include "about/credits_dlg.h"
#include "config/conf_dialog.h"
#include "framework/wnd.h"
#include "mainwnd/window_messages.h"
#include "res/resource.h"
#include "settings/account.h"
#include "settings/configuration.h"
#include "settings/profile.h"
#include "tray/tray_notify_icon.h"
#include "update/auto_update_dlg.h"

namespace {

constexpr UINT kStepMs = 1000;

// One action per tick, so that a page has painted before it is announced and stays up
// while the script takes its picture.
struct Action {
    int page;         // page to select, or -1
    bool moveAside;   // uncover Wine's tray window at the top left, where the sheet opens
    const char* shot; // sight to announce, or null
};
const Action kActions[] = {
    {0, false, nullptr}, {-1, false, "config-server-settings"},
    {1, false, nullptr}, {-1, false, "config-general"},
    {2, false, nullptr}, {-1, false, "config-notification"},
    {-1, true, nullptr}, {-1, false, "tray"}, // photographed on its own by the script
};
constexpr size_t kActionCount = sizeof(kActions) / sizeof(kActions[0]);
size_t g_next = 0;

BOOL CALLBACK MatchSheet(HWND hwnd, LPARAM result) {
    if (CWnd::GetWindowTextOf(hwnd) != "Configuration")
        return TRUE;
    *reinterpret_cast<HWND*>(result) = hwnd;
    return FALSE;
}

HWND FindSheet() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &MatchSheet, reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK Step(HWND, UINT, UINT_PTR, DWORD) {
    HWND sheet = FindSheet();
    if (sheet == nullptr)
        return;
    if (g_next == kActionCount) {
        ::SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        return;
    }
    const Action& action = kActions[g_next++];
    if (action.moveAside)
        ::SetWindowPos(sheet, nullptr, 240, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    if (action.page >= 0)
        ::SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(action.page), 0);
    if (action.shot != nullptr) {
        std::printf("SHOT %s\n", action.shot);
        std::fflush(stdout);
    }
}

// One dialog on its own: it is moved into view, photographed after `ticks` steps (the credits
// need a few seconds to roll in) and then closed.
struct Sight {
    CDialog& dialog;
    const char* shot;
    int ticks;
    int seen = 0;
};
Sight* g_sight = nullptr;

void CALLBACK SightStep(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = g_sight->dialog.GetSafeHwnd();
    if (window == nullptr)
        return;
    if (g_sight->seen == 0)
        ::SetWindowPos(window, nullptr, 240, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    if (++g_sight->seen == g_sight->ticks) {
        std::printf("SHOT %s\n", g_sight->shot);
        std::fflush(stdout);
    } else if (g_sight->seen > g_sight->ticks) {
        ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
}

bool Photograph(CDialog& dialog, const char* shot, int ticks) {
    Sight sight{dialog, shot, ticks};
    g_sight = &sight;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, kStepMs, &SightStep);
    dialog.DoModal();
    ::KillTimer(nullptr, timer);
    g_sight = nullptr;
    if (sight.seen <= ticks)
        std::fprintf(stderr, "%s closed before it was photographed\n", shot);
    return sight.seen > ticks;
}

void SeedProfile() {
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "tarnwick-shots.ini";
    ::DeleteFileA(path.c_str());
    Profile::UseFile(path);
    Account account;
    account.Set("ann", "secret", "pop.example.org", 8, 1);
    account.Save();
    CConfiguration config;
    config.Load();
    config.m_UseDefaultSound = 0;
    config.m_NotificationSoundFile = "C:\\Sounds\\chime.wav";
    config.Save();
}

} // namespace

int main() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    SeedProfile();

    // The dialogs of their own first: the tray part below leaves Wine's tray behind it.
    int status = 0;
    {
        CAboutDlg about;
        CAutoUpdateDlg notice("http://tarnwick.example.org/download/tarnwick107.exe");
        CCreditsDlg credits;
        if (!Photograph(about, "about", 2) || !Photograph(notice, "update", 2) ||
            !Photograph(credits, "credits", 9))
            status = 1;
    }

    // The icon needs an owner window for its callback message; a hidden frame will do.
    auto* owner = new CFrameWnd;
    if (!owner->Create(nullptr, "Tarnwick")) {
        delete owner;
        std::fprintf(stderr, "cannot create the owner window\n");
        return 1;
    }
    HICON mail = static_cast<HICON>(
        ::LoadImageA(CWnd::Instance(), MAKEINTRESOURCEA(IDI_MAIL), IMAGE_ICON, 0, 0, 0));
    {
        CTrayNotifyIcon icon;
        if (!icon.Create(owner, IDR_TRAY_MENU, "Tarnwick - You have 3 messages waiting.", mail,
                         WM_TRAY_NOTIFY)) {
            std::fprintf(stderr, "cannot create the tray icon\n");
            status = 1;
        }
        const UINT_PTR timer = ::SetTimer(nullptr, 0, kStepMs, &Step);
        CConfDialog sheet("Configuration", nullptr, 0);
        sheet.DoModal();
        ::KillTimer(nullptr, timer);
        if (g_next < kActionCount) {
            std::fprintf(stderr, "the sheet closed before every sight was announced\n");
            status = 1;
        }
    }
    owner->DestroyWindow();
    ::DestroyIcon(mail);
    return status;
}
