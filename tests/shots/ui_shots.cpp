// Opens what the user sees - the main window, the about box, the update notice, the rolling
// credits and the configuration sheet's pages with the tray icon - and announces each sight
// ("SHOT name") for tools/screenshots.sh to photograph, and the pictures' sizes as drawn
// ("SIZE name width height") for it to compare between display scales.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

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

// One step per tick once the window exists, so that a sight has painted before it is
// announced and stays up while the script takes its picture; the tick after the last closes.
using Step = std::function<void(HWND window)>;
struct Run {
    const CWnd& window;
    std::vector<Step> steps;
    size_t next = 0;
};
Run* g_run = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = g_run->window.GetSafeHwnd();
    if (window == nullptr)
        return;
    if (g_run->next < g_run->steps.size())
        g_run->steps[g_run->next++](window);
    else
        ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
}

// Shots it did not announce are missing from the script's count, which fails the step.
template <typename Modal> void Show(Modal& modal, std::vector<Step> steps) {
    Run run{modal, std::move(steps)};
    g_run = &run;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, kStepMs, &Tick);
    modal.DoModal();
    ::KillTimer(nullptr, timer);
    g_run = nullptr;
}

Step Shot(const char* name) {
    return [name](HWND) {
        std::printf("SHOT %s\n", name);
        std::fflush(stdout);
    };
}

// Into view; at a high DPI the main window is wider than the screen, and its right side,
// with the pictures, is what must show.
void MoveIntoView(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    const int x = std::min<int>(240, ::GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left));
    const int y = std::min<int>(160, ::GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top));
    ::SetWindowPos(window, nullptr, x, std::max(0, y), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// A dialog into view, photographed on tick `ticks` (the credits need seconds to roll in).
std::vector<Step> Sight(const char* name, int ticks, Step prepare = nullptr,
                        Step measure = nullptr) {
    std::vector<Step> steps(static_cast<size_t>(ticks), [](HWND) {});
    steps.front() = [prepare](HWND window) {
        MoveIntoView(window);
        if (prepare)
            prepare(window);
    };
    steps.back() = [name, measure](HWND window) {
        if (measure)
            measure(window);
        Shot(name)(window);
    };
    return steps;
}

Step Page(int index) {
    return [index](HWND sheet) { ::SendMessageA(sheet, PSM_SETCURSEL, WPARAM(index), 0); };
}

void PrintBitmapSize(const char* name, HWND control, UINT getImage) {
    const SIZE size =
        BitmapSize(reinterpret_cast<HBITMAP>(::SendMessageA(control, getImage, IMAGE_BITMAP, 0)));
    std::printf("SIZE %s %d %d\n", name, static_cast<int>(size.cx), static_cast<int>(size.cy));
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
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    ::ReleaseDC(animation, dc);
    std::printf("SIZE clip %d %d\n", right >= left ? right - left + 1 : 0,
                bottom >= top ? bottom - top + 1 : 0);
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
    {
        CTarnwickDlg main;
        CAboutDlg about;
        CAutoUpdateDlg notice("http://tarnwick.example.org/download/tarnwick107.exe");
        CCreditsDlg credits;
        const auto showFirstFrame = [](HWND window) { // as a check shows the clip
            ::SendDlgItemMessageA(window, IDC_ANIMATE, ACM_PLAY, 1, MAKELPARAM(0, 0));
        };
        const auto measureMain = [](HWND window) {
            PrintBitmapSize("info", ::GetDlgItem(window, IDC_ABOUT), BM_GETIMAGE);
            PrintClipSize(::GetDlgItem(window, IDC_ANIMATE));
        };
        const auto measureAbout = [](HWND window) {
            PrintBitmapSize("logo", ::GetDlgItem(window, IDC_ABOUT_PICTURE), STM_GETIMAGE);
        };
        Show(main, Sight("main", 2, showFirstFrame, measureMain));
        Show(about, Sight("about", 2, nullptr, measureAbout));
        Show(notice, Sight("update", 2));
        Show(credits, Sight("credits", 9));
    }

    // The icon needs an owner window for its callback message; a hidden frame will do.
    auto* owner = new CFrameWnd;
    if (!owner->Create(nullptr, "Tarnwick")) {
        delete owner;
        return 1;
    }
    HICON mail = static_cast<HICON>(
        ::LoadImageA(CWnd::Instance(), MAKEINTRESOURCEA(IDI_MAIL), IMAGE_ICON, 0, 0, 0));
    {
        CTrayNotifyIcon icon;
        icon.Create(owner, IDR_TRAY_MENU, "Tarnwick - You have 3 messages waiting.", mail,
                    WM_TRAY_NOTIFY);
        // The sheet opens at the top left, over Wine's tray window: moved aside for the tray.
        const Step moveAside = [](HWND sheet) {
            ::SetWindowPos(sheet, nullptr, 240, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        };
        CConfDialog sheet("Configuration", nullptr, 0);
        Show(sheet, {Page(0), Shot("config-server-settings"), Page(1), Shot("config-general"),
                     Page(2), Shot("config-notification"), moveAside, Shot("tray")});
    }
    owner->DestroyWindow();
    ::DestroyIcon(mail);
    return 0;
}
