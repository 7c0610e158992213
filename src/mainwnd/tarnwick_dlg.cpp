#include "mainwnd/tarnwick_dlg.h"

#include "about/about_dlg.h"
#include "config/conf_dialog.h"
#include "framework/cursor.h"
#include "framework/data_exchange.h"
#include "framework/message_box.h"
#include "framework/shell_seams.h"
#include "mainwnd/list_tips.h"
#include "mainwnd/show_dialog.h"
#include "mainwnd/window_messages.h"
#include "mainwnd/window_pictures.h"
#include "mainwnd/window_placement.h"
#include "mime/utf16_win.h"
#include "pop3/messages.h"
#include "res/resource.h"
#include "settings/profile.h"
#include "update/auto_update_client.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr UINT kUpdateDelayMs = 600000;

constexpr UINT kExitPollMs = 50;
constexpr UINT kExitGiveUpMs = 2000;

HICON LoadIconResource(UINT id, int size) {
    return static_cast<HICON>(
        ::LoadImageA(CWnd::Instance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

} // namespace

CTarnwickDlg::CTarnwickDlg(HWND parent) : CDialog(IDD_TARNWICK_DIALOG, parent) {
    m_hIcon.Reset(LoadIconResource(IDI_TARNWICK, ::GetSystemMetrics(SM_CXICON)));
    m_hSmallIcon.Reset(LoadIconResource(IDI_TARNWICK, ::GetSystemMetrics(SM_CXSMICON)));
    m_cycle.MutableAccount().Load();
    m_config.Load();
    m_popup = std::make_unique<CShowDialog>(this);
    // The notification area shows small icons: the picture drawn for that size, not a large
    // one the shell would shrink.
    const int tray = ::GetSystemMetrics(SM_CXSMICON);
    m_iconNoMail.Load(IDI_NOMAIL, tray, tray);
    m_iconMail.Load(IDI_MAIL, tray, tray);
    m_iconDisabled.Load(IDI_DISABLED, tray, tray);
    m_iconRetrying.Load(IDI_RETRYING, tray, tray);
    const UINT frames[4] = {IDI_SPIN_0, IDI_SPIN_90, IDI_SPIN_180, IDI_SPIN_270};
    for (int i = 0; i < 4; ++i)
        m_animFrames[i].Load(frames[i], tray, tray);
}

CTarnwickDlg::~CTarnwickDlg() {
    StopWorker();
    m_popup.reset();
}

void CTarnwickDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_MESSAGE_LIST, m_list);
    DDX_Control(dx, IDC_ANIMATE, m_animate);
    DDX_Text(dx, IDC_STATUS_TEXT, m_statusText);
}

bool CTarnwickDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon.Get()));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon.Get()));
    ShowWindowPictures(m_hWnd, IDC_ABOUT, m_infoBitmap, m_animate);
    // Rows answer on every cell, not only on the sender; a cut-off text shows in a tip.
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP,
                            LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    // The list asks for its rows' texts wide (LVN_GETDISPINFOW).
    m_list.SendMessage(WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(m_hWnd), NF_REQUERY);
    SetupColumns();
    RestoreWindowPlacement(m_hWnd, m_list);

    m_updateTimer.Set(m_hWnd, ID_TIMER_UPDATE, kUpdateDelayMs);
    m_trayMenu.LoadMenu(IDR_TRAY_MENU);

    if (!m_trayIcon.Create(this, IDR_TRAY_MENU, "Tarnwick", m_iconNoMail, WM_TRAY_NOTIFY)) {
        Tell("Failed to create tray icon", MB_OK | MB_ICONERROR);
        return false;
    }
    if (m_config.m_FirstTime)
        RunFirstTimeSetup();
    // Read only now: the first-time sheet may just have changed them.
    const Account account = m_cycle.GetAccount();
    m_cycle.Start(account, m_config.m_Interval, m_config.m_CheckMailOnStartup != 0);
    return false;
}

void CTarnwickDlg::SetupColumns() {
    const RECT outer = m_list.GetWindowRect();
    const double width = outer.right - outer.left;
    // Single-precision factors, as the widths have always been computed.
    const float factors[3] = {0.3f, 0.48f, 0.2f};
    const char* const headers[3] = {"From", "Subject", "Size"};
    for (int i = 0; i < 3; ++i)
        m_list.InsertColumn(i, headers[i],
                            static_cast<int>(width * static_cast<double>(factors[i])));
}

void CTarnwickDlg::RunFirstTimeSetup() {
    SeedUpdateSettings();
    Ask("This is the first time your run this version of Tarnwick.\nThe configuration "
        "dialog box will now be displayed. Full help is provided in the documentation "
        "files.",
        "First Time Usage", MB_OK);
    OnConfigure();
}

void CTarnwickDlg::OnConfigure() {
    // The sheet's records replace the cycle's; a running check still holds the old ones.
    if (m_cycle.Busy() || !CanStartWork())
        return;
    Account account;
    CConfiguration config;
    bool taken = false;
    {
        ModalScope modal(*this);
        CConfDialog sheet("Configuration", m_hWnd, 0);
        const INT_PTR result = sheet.DoModal();
        if (result == IDOK)
            sheet.ApplyChanges();
        // A sheet that could not open hands back empty records: the settings stay.
        if (result != -1) {
            account = sheet.GetAccount();
            config = sheet.GetConfiguration();
            taken = true;
        }
    }
    if (!taken || m_cycle.Exiting())
        return;
    m_config = config;
    m_cycle.SettingsChanged(account, m_config.m_Interval);
}

void CTarnwickDlg::OnTimer(UINT_PTR id) {
    if (id == ID_TIMER_CHECK) {
        m_cycle.Tick(cycle::Timer::Check);
    } else if (id == ID_TIMER_RETRY) {
        m_retryTimer.Kill();
        m_cycle.Tick(cycle::Timer::Retry);
    } else if (id == ID_TIMER_UPDATE) {
        m_updateTimer.Kill();
        if (m_cycle.OpenBoxes() > 0)
            m_updatePending = true;
        else if (!m_cycle.Exiting())
            RunScheduledUpdateCheck();
    } else if (id == ID_TIMER_EXIT) {
        // The boxes closed at Exit have returned: the window can end now.
        if (m_cycle.OpenBoxes() == 0) {
            m_exitTimer.Kill();
            SendMessage(WM_CLOSE);
        } else if (++m_exitPolls * kExitPollMs >= kExitGiveUpMs) {
            // A window of someone else's will not close: every modal loop ends on a quit
            // request, and so does the program, its settings already saved.
            m_exitTimer.Kill();
            ::PostQuitMessage(0);
        } else {
            CloseOpenBoxes();
        }
    }
    Default();
}

void CTarnwickDlg::OnResumeWork() {
    m_cycle.Wake();
    if (m_updatePending && CanStartWork()) {
        m_updatePending = false;
        RunScheduledUpdateCheck();
    }
}

void CTarnwickDlg::RunScheduledUpdateCheck() {
    m_updateCheck.Start(m_hWnd, CUpdateCheckRunner::Scheduled);
}

void CTarnwickDlg::OnUpdateDone() {
    if (!m_updateCheck.IsDone() || !CanStartWork())
        return;
    ModalScope modal(*this);
    m_updateCheck.Announce(m_hWnd);
}

void CTarnwickDlg::OnAboutButton() {
    if (!CanStartWork())
        return;
    ModalScope modal(*this);
    bool updateRequested = false;
    {
        CAboutDlg about(m_hWnd);
        about.DoModal();
        updateRequested = about.IsUpdateRequested();
    }
    // Only once the box is gone, so the notice does not open over it.
    if (updateRequested && !m_cycle.Exiting())
        m_updateCheck.Start(m_hWnd, CUpdateCheckRunner::Requested);
}

// ---- window ---------------------------------------------------------------------------------

LRESULT CTarnwickDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CHECK_DONE:
        // The worker only has to return now.
        if (m_cycle.RunningJob() && m_cycle.RunningJob()->done)
            m_worker.Join();
        m_cycle.JobEnded();
        return 0;
    case WM_RESUME_WORK:
        OnResumeWork();
        OnUpdateDone();
        return 0;
    case WM_UPDATE_DONE:
        OnUpdateDone();
        return 0;
    case WM_NOTIFYFORMAT:
        if (reinterpret_cast<HWND>(wParam) == m_list.GetSafeHwnd())
            return NFR_UNICODE;
        return CDialog::OnMessage(msg, wParam, lParam);
    case WM_TRAY_NOTIFY:
        return OnTrayNotify(wParam, lParam);
    case WM_WINDOWPOSCHANGING:
        // A start in the tray: neither the template's visibility nor the modal run shows it.
        if (m_startInTray)
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
        return CDialog::OnMessage(msg, wParam, lParam);
    case WM_POPUP_TIMEOUT:
        ClosePopup();
        return 0;
    case WM_HELP:
        if (CanStartWork())
            OpenHelp();
        return TRUE;
    case WM_CONTEXTMENU:
        // The context-menu key or Shift+F10 on the list; a right-click came as NM_RCLICK.
        if (reinterpret_cast<HWND>(wParam) == m_list.GetSafeHwnd() && lParam == -1) {
            const int row = m_list.GetFirstSelectedItem();
            RECT label = {};
            if (row >= 0 && m_list.GetItemRect(row, &label, LVIR_LABEL)) {
                POINT at = {label.left, label.bottom};
                ::ClientToScreen(m_list, &at);
                OnListRightClick(at);
            }
            return 0;
        }
        return CDialog::OnMessage(msg, wParam, lParam);
    case WM_ENDSESSION:
        // Windows is ending: as Exit, for the process may be gone before WM_CLOSE.
        if (wParam != FALSE) {
            BeginExit();
            StopWorker();
        }
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
            m_cycle.Resumed();
        }
        return TRUE;
    default:
        return CDialog::OnMessage(msg, wParam, lParam);
    }
}

bool CTarnwickDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    // Esc over the list while the summary shows: the popup goes, not the program.
    if (id == IDCANCEL && m_popup && m_popup->GetSafeHwnd() != nullptr) {
        ClosePopup();
        return true;
    }
    const bool menu = lParam == 0;
    const bool button = !menu && HIWORD(wParam) == BN_CLICKED;
    if (menu && id == ID_TRAY_EXIT) {
        SendMessage(WM_CLOSE);
        return true;
    }
    if (menu && id == ID_TRAY_OPEN) {
        m_startInTray = false;
        if (!m_cycle.Exiting()) {
            ShowWindow(SW_RESTORE);
            ::SetForegroundWindow(m_hWnd);
        }
        return true;
    }
    // The rest starts work, or opens a question or a sheet: one at a time, and never while
    // the program ends.
    const bool starts = (menu && (id == ID_TRAY_CHECK || id == ID_TRAY_DISABLE ||
                                  id == ID_TRAY_CONFIGURE || id == ID_MSG_DELETE)) ||
                        (button && (id == IDC_CHECK_NOW || id == IDC_CONFIGURE ||
                                    id == IDC_EMAIL_PROG || id == IDC_ENABLE || id == IDC_ABOUT));
    if (!starts)
        return CDialog::OnCommand(wParam, lParam);
    if (!CanStartWork())
        return true;
    switch (id) {
    case ID_TRAY_CHECK:
    case IDC_CHECK_NOW:
        // Asked for by the user with nothing to check: the way on is the configuration.
        if (!m_cycle.IsSetUp())
            OnConfigure();
        else
            m_cycle.CheckNow();
        break;
    case ID_TRAY_DISABLE:
    case IDC_ENABLE:
        m_cycle.ToggleEnabled();
        break;
    case ID_TRAY_CONFIGURE:
    case IDC_CONFIGURE:
        OnConfigure();
        break;
    case ID_MSG_DELETE:
        DeleteSelectedMessage();
        break;
    case IDC_EMAIL_PROG:
        LaunchEmailClient();
        break;
    case IDC_ABOUT:
        OnAboutButton();
        break;
    default:
        break;
    }
    return true;
}

bool CTarnwickDlg::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_MESSAGE_LIST)
        return CDialog::OnNotify(header, result);
    switch (header->code) {
    case NM_CLICK:
        ClosePopup();
        break;
    case NM_DBLCLK:
        ShowSummary();
        break;
    case NM_RCLICK:
        OnListRightClick();
        break;
    case LVN_KEYDOWN:
        if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE)
            DeleteSelectedMessage();
        break;
    case LVN_GETDISPINFOW: {
        // The list holds no texts of its own: each row is read from the record as it is
        // drawn, wide, since mail texts come in any language.
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
        if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
            const std::wstring text = mime::ToUtf16(RowText(item.iItem, item.iSubItem));
            const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
            std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length),
                      item.pszText);
            item.pszText[length] = L'\0';
        }
        break;
    }
    case LVN_GETINFOTIPW:
        FillCutCellTip(m_list, *reinterpret_cast<NMLVGETINFOTIPW*>(header),
                       [this](int row, int column) { return RowText(row, column); });
        break;
    case LVN_GETDISPINFOA: {
        LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(header)->item;
        if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
            const std::string text = RowText(item.iItem, item.iSubItem);
            const size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax - 1));
            std::memcpy(item.pszText, text.data(), length);
            item.pszText[length] = '\0';
        }
        break;
    }
    default:
        return CDialog::OnNotify(header, result);
    }
    *result = 0;
    return true;
}

LRESULT CTarnwickDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != IDR_TRAY_MENU || m_cycle.Exiting())
        return 0;
    CMenu popup = m_trayMenu.GetSubMenu(0);
    if (popup.GetSafeHmenu() == nullptr)
        return 0;
    if (lParam == WM_RBUTTONUP) {
        popup.SetDefaultItem(0);
        POINT cursor = {};
        ::GetCursorPos(&cursor);
        ::SetForegroundWindow(m_hWnd);
        UINT command = 0;
        {
            m_trayMenuOpen = true;
            ModalScope modal(*this);
            command =
                static_cast<UINT>(popup.TrackPopupMenu(TPM_RETURNCMD, cursor.x, cursor.y, m_hWnd));
            m_trayMenuOpen = false;
        }
        // Run once the menu is gone, so that its choice may open a box or a sheet.
        if (command != 0)
            SendMessage(WM_COMMAND, command, 0);
    } else if (lParam == WM_LBUTTONDBLCLK || lParam == NIN_BALLOONUSERCLICK) {
        SendMessage(WM_COMMAND, popup.GetMenuItemID(0), 0);
    }
    return 1;
}

void CTarnwickDlg::OnOK() {
    ShowWindow(SW_HIDE);
    ClosePopup();
}

void CTarnwickDlg::OnCancel() {
    if (m_cycle.Exiting())
        CDialog::OnCancel();
    else
        SendMessage(WM_CLOSE); // settings saved, job cancelled, icon gone
}

void CTarnwickDlg::OnClose() {
    // From a box's loop (Alt+F4 cannot reach a disabled window, but a posted close can).
    if (m_cycle.OpenBoxes() > 0) {
        BeginExit();
        CloseOpenBoxes();
        m_exitTimer.Set(m_hWnd, ID_TIMER_EXIT, kExitPollMs);
        return;
    }
    BeginExit();
    StopWorker();
    Default();
}

void CTarnwickDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)), 0);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
}

void CTarnwickDlg::OnDestroy() {
    StopWorker();
    ClosePopup();
    m_trayIcon.Remove();
    CDialog::OnDestroy();
}

void CTarnwickDlg::OpenHelp() {
    const LaunchRequest help = {LaunchRequest::ShellOpen, m_hWnd,
                                ProgramFolder() + "\\tarnwick.html", SW_SHOWNORMAL};
    if (Launch(help) <= 32)
        Ask("Could not open help file.\nCheck that:\n(1) The tarnwick.html file is installed in "
            "your Tarnwick installation directory.\n(2) You have a default web browser defined on "
            "your system.",
            "Error", MB_OK | MB_ICONERROR);
}
