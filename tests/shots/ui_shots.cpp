// Opens what the user sees - the configuration sheet on each of its pages, with the tray
// icon showing, and the main window, the about box, the update notice and the rolling credits -
// and announces each sight on standard output ("SHOT name") so that tools/screenshots.sh can
// photograph the screen while it stays up. The pictures' sizes as drawn go out as
// "SIZE name width height", for the script to compare between display scales.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "about/about_dlg.h"
#include "about/credits_dlg.h"
#include "config/conf_dialog.h"
#include "framework/dpi.h"
#include "framework/wnd.h"
#include "mainwnd/tarnwick_dlg.h"
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
    void (*prepare)(HWND window);
    void (*measure)(HWND window);
    int seen = 0;
};
Sight* g_sight = nullptr;

void CALLBACK SightStep(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = g_sight->dialog.GetSafeHwnd();
    if (window == nullptr)
        return;
    if (g_sight->seen == 0) {
        // Into view; at a high DPI the main window is wider than the screen, and its right
        // side, with the pictures, is what must show.
        RECT rect = {};
        ::GetWindowRect(window, &rect);
        const int x =
            std::min<int>(240, ::GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left));
        const int y =
            std::min<int>(160, ::GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top));
        ::SetWindowPos(window, nullptr, x, std::max(0, y), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (g_sight->prepare != nullptr)
            g_sight->prepare(window);
    }
    if (++g_sight->seen == g_sight->ticks) {
        if (g_sight->measure != nullptr)
            g_sight->measure(window);
        std::printf("SHOT %s\n", g_sight->shot);
        std::fflush(stdout);
    } else if (g_sight->seen > g_sight->ticks) {
        ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    }
}

bool Photograph(CDialog& dialog, const char* shot, int ticks,
                void (*measure)(HWND window) = nullptr, void (*prepare)(HWND window) = nullptr) {
    Sight sight{dialog, shot, ticks, prepare, measure};
    g_sight = &sight;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, kStepMs, &SightStep);
    dialog.DoModal();
    ::KillTimer(nullptr, timer);
    g_sight = nullptr;
    if (sight.seen <= ticks)
        std::fprintf(stderr, "%s closed before it was photographed\n", shot);
    return sight.seen > ticks;
}

void PrintSize(const char* name, int width, int height) {
    std::printf("SIZE %s %d %d\n", name, width, height);
}

void PrintBitmapSize(const char* name, HWND control, UINT getImage, WPARAM type) {
    const SIZE size =
        BitmapSize(reinterpret_cast<HBITMAP>(::SendMessageA(control, getImage, type, 0)));
    PrintSize(name, size.cx, size.cy);
}

// The clip as it shows: the box around every pixel of its first frame that is not the
// background around it.
void PrintClipSize(HWND animation) {
    RECT client = {};
    ::GetClientRect(animation, &client);
    HDC dc = ::GetDC(animation);
    const COLORREF background = ::GetSysColor(COLOR_BTNFACE);
    int left = client.right, top = client.bottom, right = -1, bottom = -1;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            const COLORREF pixel = ::GetPixel(dc, x, y);
            if (pixel == background || pixel == CLR_INVALID) // CLR_INVALID: off the screen
                continue;
            left = x < left ? x : left;
            right = x > right ? x : right;
            top = y < top ? y : top;
            bottom = y > bottom ? y : bottom;
        }
    }
    ::ReleaseDC(animation, dc);
    PrintSize("clip", right >= left ? right - left + 1 : 0, bottom >= top ? bottom - top + 1 : 0);
}

// The clip's first frame, as a check shows it.
void ShowFirstFrame(HWND window) {
    ::SendDlgItemMessageA(window, IDC_ANIMATE, ACM_PLAY, 1, MAKELPARAM(0, 0));
}

void MeasureMainWindow(HWND window) {
    PrintBitmapSize("info", ::GetDlgItem(window, IDC_ABOUT), BM_GETIMAGE, IMAGE_BITMAP);
    PrintClipSize(::GetDlgItem(window, IDC_ANIMATE));
}

void MeasureAbout(HWND window) {
    PrintBitmapSize("logo", ::GetDlgItem(window, IDC_ABOUT_PICTURE), STM_GETIMAGE, IMAGE_BITMAP);
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
    config.m_CheckMailOnStartup = 0; // the main window is photographed, not checking
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
        CTarnwickDlg main;
        CAboutDlg about;
        CAutoUpdateDlg notice("http://tarnwick.example.org/download/tarnwick107.exe");
        CCreditsDlg credits;
        if (!Photograph(main, "main", 2, &MeasureMainWindow, &ShowFirstFrame) ||
            !Photograph(about, "about", 2, &MeasureAbout) || !Photograph(notice, "update", 2) ||
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
