#include "mainwnd/tarnwick_dlg.h"

#include "about/about_dlg.h"
#include "config/conf_dialog.h"
#include "framework/cursor.h"
#include "framework/data_exchange.h"
#include "framework/message_box.h"
#include "framework/shell_seams.h"
#include "mainwnd/show_dialog.h"
#include "mainwnd/window_messages.h"
#include "pop3/messages.h"
#include "res/resource.h"
#include "settings/profile.h"
#include "update/auto_update_client.h"
#include "update/update_check.h"

#include <commctrl.h>

#include <exception>

int g_lastAnnouncedCount = 0;

namespace {

constexpr UINT kMinuteMs = 60000;
constexpr UINT kUpdateDelayMs = 600000;
constexpr UINT kAnimationStepMs = 250;

const char kTimerFailed[] = "Can't set up timer to check mail.";
const char kDefaultMailFailed[] = "Can't launch default email application";
const char kMailKey[] = "SOFTWARE\\Clients\\Mail";

UINT CheckPeriod(int minutes) {
    return static_cast<UINT>(minutes) * kMinuteMs;
}

// The program a registered "shell\open\command" names: the quoted path up to its own
// closing quote, or the text up to the first blank. Its arguments are dropped.
std::string ProgramOfCommand(const std::string& command) {
    char expanded[MAX_PATH * 2] = {};
    const DWORD length = ::ExpandEnvironmentStringsA(command.c_str(), expanded, sizeof(expanded));
    std::string text = length > 0 && length <= sizeof(expanded) ? expanded : command;
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return std::string();
    if (text[start] == '"') {
        const size_t close = text.find('"', start + 1);
        return close == std::string::npos ? text.substr(start + 1)
                                          : text.substr(start + 1, close - start - 1);
    }
    const size_t blank = text.find_first_of(" \t", start);
    return text.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
}

HICON LoadIconResource(UINT id, int size) {
    return static_cast<HICON>(
        ::LoadImageA(CWnd::Instance(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

} // namespace

CTarnwickDlg::CTarnwickDlg(HWND parent) : CDialog(IDD_TARNWICK_DIALOG, parent) {
    m_hIcon.Reset(LoadIconResource(IDI_TARNWICK, ::GetSystemMetrics(SM_CXICON)));
    m_hSmallIcon.Reset(LoadIconResource(IDI_TARNWICK, ::GetSystemMetrics(SM_CXSMICON)));
    m_account.Load();
    m_config.Load();
    m_popup = std::make_unique<CShowDialog>(this);
    // The notification area shows small icons: the picture drawn for that size, not a large
    // one the shell would shrink.
    const int tray = ::GetSystemMetrics(SM_CXSMICON);
    m_iconNoMail.Load(IDI_NOMAIL, tray, tray);
    m_iconMail.Load(IDI_MAIL, tray, tray);
    m_iconDisabled.Load(IDI_DISABLED, tray, tray);
    const UINT frames[4] = {IDI_SPIN_0, IDI_SPIN_90, IDI_SPIN_180, IDI_SPIN_270};
    for (int i = 0; i < 4; ++i)
        m_animFrames[i].Load(frames[i], tray, tray);
}

CTarnwickDlg::~CTarnwickDlg() {
    // The worker holds the job; it must be gone before the job is freed.
    m_worker.Join();
    m_popup.reset();
}

void CTarnwickDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Control(dx, IDC_MESSAGE_LIST, m_list);
    DDX_Control(dx, IDC_ANIMATE, m_animate);
    DDX_Text(dx, IDC_STATUS_TEXT, m_statusText);
}

bool CTarnwickDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    m_infoBitmap.Reset(static_cast<HBITMAP>(
        ::LoadImageA(Instance(), MAKEINTRESOURCEA(IDB_INFO), IMAGE_BITMAP, 0, 0, 0)));
    ::SendDlgItemMessageA(m_hWnd, IDC_ABOUT, BM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(m_infoBitmap.Get()));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon.Get()));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon.Get()));
    m_animate.Open(IDR_SEARCH_AVI);
    SetupColumns();

    if (!m_checkTimer.Set(m_hWnd, ID_TIMER_CHECK, CheckPeriod(m_config.m_Interval)))
        ShowMessageBox(m_hWnd, kTimerFailed, "Error", MB_OK | MB_ICONERROR);
    m_updateTimer.Set(m_hWnd, ID_TIMER_UPDATE, kUpdateDelayMs);
    m_trayMenu.LoadMenu(IDR_TRAY_MENU);

    if (!m_trayIcon.Create(this, IDR_TRAY_MENU, "Tarnwick", m_iconNoMail, WM_TRAY_NOTIFY)) {
        AfxMessageBox("Failed to create tray icon", MB_OK | MB_ICONERROR, m_hWnd);
        return false;
    }
    if (m_config.m_FirstTime)
        RunFirstTimeSetup();
    // Read only now: the first-time sheet may just have changed it.
    if (m_config.m_CheckMailOnStartup)
        StartCheck();
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
    ShowMessageBox(m_hWnd,
                   "This is the first time your run this version of Tarnwick.\nThe configuration "
                   "dialog box will now be displayed. Full help is provided in the documentation "
                   "files.",
                   "First Time Usage", MB_OK);
    OnConfigure();
}

// ---- check cycle ---------------------------------------------------------------------------

void CTarnwickDlg::StartCheck() {
    // The worker owns the job until WM_CHECK_DONE; a second one would race it.
    if (m_busy)
        return;
    m_busy = 1;
    UpdateBusyState();

    m_job = std::make_unique<CheckJob>();
    m_job->account = m_account;
    if (m_messages)
        m_job->list = std::make_unique<Messages>(*m_messages);
    CheckJob* job = m_job.get();
    HWND window = m_hWnd;
    const bool started = m_worker.Start([job, window] {
        Messages* list = job->list.release();
        try {
            job->account.CheckMail(list);
        } catch (const std::exception&) {
            // The window must hear of the end whatever happened, or it stays busy for good.
            job->account.m_Status = Account::CheckFailed;
            job->account.m_LastError = "Not enough memory to check the mailbox.";
        }
        job->list.reset(list);
        ::PostMessageA(window, WM_CHECK_DONE, 0, 0);
    });
    if (!started) {
        m_job.reset();
        m_busy = 0;
        UpdateBusyState();
        ReportCheckFailure("The mail check could not be started.");
    }
}

LRESULT CTarnwickDlg::OnCheckDone() {
    if (!m_job)
        return 0;
    m_worker.Join();
    const std::unique_ptr<CheckJob> job = std::move(m_job);
    m_account.TakeCheckOutcome(job->account);
    m_messages = std::move(job->list);

    m_busy = 0;
    UpdateBusyState();
    if (m_account.m_Status == Account::CheckFailed) {
        if (m_resume.DefersFailure(m_account.m_LastError, ::GetTickCount64())) {
            m_resumeTimer.Set(m_hWnd, ID_TIMER_RESUME, m_resume.m_RetryDelayMs);
            UpdateEnabledState();
            return 0;
        }
        if (!OfferToTrustCertificate())
            ReportCheckFailure(m_account.m_LastError);
        return 0;
    }
    m_list.DeleteAllItems();
    UpdateMailState();
    if (m_messages && m_account.m_Status != Account::MailboxEmpty)
        FillList();
    return 1;
}

void CTarnwickDlg::FillList() {
    for (int i = 0; i < m_messages->GetCount(); ++i) {
        m_list.InsertItem(i, m_messages->GetFrom(i));
        m_list.SetItemText(i, 1, m_messages->GetSubject(i));
        m_list.SetItemText(i, 2, m_messages->GetSize(i));
    }
}

bool CTarnwickDlg::OfferToTrustCertificate() {
    if (!m_account.CertificateRejected())
        return false;
    const std::string text = "Can't read POP email.\n\n" + m_account.m_LastError +
                             "\n\nDo you trust this certificate? Answer Yes only if your mail "
                             "provider gives this fingerprint for the server.";
    if (ShowMessageBox(m_hWnd, text, "Tarnwick - Confirmation", MB_YESNO | MB_ICONWARNING) != IDYES)
        return false;
    m_account.m_TrustedCertificate = m_account.GetServerFingerprint();
    m_account.Save();
    StartCheck();
    return true;
}

void CTarnwickDlg::ReportCheckFailure(const std::string& reason) {
    const std::string text = "Can't read POP email.\n\n" + reason +
                             "\n\nTarnwick will be disabled.\nYou can enable it by right clicking "
                             "on the Tarnwick icon on the task bar and selecting 'Enable'.";
    m_enabled = 0;
    m_checkTimer.Kill();
    ShowMessageBox(m_hWnd, text, "Tarnwick Error", MB_OK | MB_ICONERROR);
    UpdateEnabledState();
}

void CTarnwickDlg::UpdateMailState() {
    const int count = m_account.m_MessageCount;
    if (count != 0) {
        m_statusText = "Tarnwick - You have " + std::to_string(count) + " messages waiting.";
        if (count != g_lastAnnouncedCount) {
            PlaySoundFile(m_config.m_UseDefaultSound ? ProgramFolder() + "\\GotMail.wav"
                                                     : m_config.m_NotificationSoundFile);
            if (m_config.m_ShowNotice)
                ShowNewMailNotice(count);
        }
    } else {
        m_statusText = "Tarnwick - NO messages waiting.";
    }
    SetWindowText(m_statusText);
    m_trayIcon.SetIcon(count != 0 ? m_iconMail : m_iconNoMail);
    const std::string tip = m_statusText + (m_account.WasSecure() ? " (secure)" : "");
    m_trayIcon.SetTipText(tip.c_str());
    UpdateData(false);
    g_lastAnnouncedCount = count;
}

void CTarnwickDlg::ShowNewMailNotice(int count) {
    std::string text = "Open Tarnwick to see them.";
    // The list names the newest message last; a list from an earlier count names others.
    if (m_messages && m_messages->GetCount() == count)
        text = "From: " + m_messages->GetFrom(count - 1) +
               "\nSubject: " + m_messages->GetSubject(count - 1);
    m_trayIcon.ShowBalloon(std::to_string(count) + " messages waiting", text);
}

void CTarnwickDlg::UpdateBusyState() {
    const bool busy = m_busy != 0;
    const UINT menuState = busy ? MF_GRAYED : MF_ENABLED;
    if (busy) {
        const HICON frames[4] = {m_animFrames[0], m_animFrames[1], m_animFrames[2],
                                 m_animFrames[3]};
        m_trayIcon.Animate(frames, 4, kAnimationStepMs);
    } else {
        m_trayIcon.SetIcon(m_account.m_MessageCount != 0 ? m_iconMail : m_iconNoMail);
    }
    ::EnableWindow(GetDlgItem(IDC_CONFIGURE), !busy);
    ::EnableWindow(GetDlgItem(IDC_CHECK_NOW), !busy);
    m_trayMenu.EnableMenuItem(ID_TRAY_CHECK, menuState);
    m_trayMenu.EnableMenuItem(ID_TRAY_CONFIGURE, menuState);
    m_trayMenu.EnableMenuItem(ID_TRAY_DISABLE, menuState);
    ::EnableWindow(GetDlgItem(IDC_ENABLE), !busy);
    if (busy) {
        m_animate.Play(0, 0xFFFF, static_cast<UINT>(-1));
        m_trayIcon.SetTipText("Checking mail...");
    } else {
        m_animate.Stop();
    }
}

void CTarnwickDlg::ToggleEnabled() {
    if (m_enabled) {
        m_enabled = 0;
        m_checkTimer.Kill();
    } else {
        m_enabled = 1;
        m_checkTimer.Set(m_hWnd, ID_TIMER_CHECK, CheckPeriod(m_config.m_Interval));
    }
}

void CTarnwickDlg::UpdateEnabledState() {
    if (m_enabled == 1) {
        m_trayMenu.EnableMenuItem(ID_TRAY_CHECK, MF_ENABLED);
        ::EnableWindow(GetDlgItem(IDC_CHECK_NOW), TRUE);
        m_trayMenu.ModifyMenu(ID_TRAY_DISABLE, "&Disable");
        UpdateMailState();
        ::SetDlgItemTextA(m_hWnd, IDC_ENABLE, "&Disable");
    } else {
        m_trayMenu.EnableMenuItem(ID_TRAY_CHECK, MF_GRAYED);
        ::EnableWindow(GetDlgItem(IDC_CHECK_NOW), FALSE);
        m_trayIcon.SetIcon(m_iconDisabled);
        m_trayIcon.SetTipText("Tarnwick - disabled");
        SetWindowText("Tarnwick - disabled");
        m_trayMenu.ModifyMenu(ID_TRAY_DISABLE, "&Enable");
        ::SetDlgItemTextA(m_hWnd, IDC_ENABLE, "&Enable");
    }
}

void CTarnwickDlg::OnConfigure() {
    // The sheet's records replace the window's; a running check still holds the old ones.
    if (m_busy)
        return;
    if (m_enabled)
        m_checkTimer.Kill();
    {
        CConfDialog sheet("Configuration", m_hWnd, 0);
        if (sheet.DoModal() == IDOK)
            sheet.ApplyChanges();
        m_account = sheet.GetAccount();
        m_config = sheet.GetConfiguration();
    }
    if (m_enabled && !m_checkTimer.Set(m_hWnd, ID_TIMER_CHECK, CheckPeriod(m_config.m_Interval)))
        ShowMessageBox(m_hWnd, kTimerFailed, "Tarnwick Error", MB_OK | MB_ICONERROR);
}

void CTarnwickDlg::OnTimer(UINT_PTR id) {
    if (id == ID_TIMER_CHECK) {
        if (!m_busy)
            StartCheck();
    } else if (id == ID_TIMER_UPDATE) {
        m_updateTimer.Kill();
        RunScheduledUpdateCheck();
    } else if (id == ID_TIMER_RESUME) {
        m_resumeTimer.Kill();
        if (m_enabled && !m_busy)
            StartCheck();
    }
    Default();
}

void CTarnwickDlg::RunScheduledUpdateCheck() {
    ::RunScheduledUpdateCheck(m_hWnd);
}

void CTarnwickDlg::OnAboutButton() {
    bool updateRequested = false;
    {
        CAboutDlg about(m_hWnd);
        about.DoModal();
        updateRequested = about.IsUpdateRequested();
    }
    // Only once the box is gone, so the notice does not open over it.
    if (updateRequested)
        RunForcedUpdateCheck();
}

// ---- window ---------------------------------------------------------------------------------

LRESULT CTarnwickDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CHECK_DONE:
        return OnCheckDone();
    case WM_TRAY_NOTIFY:
        return OnTrayNotify(wParam, lParam);
    case WM_POPUP_TIMEOUT:
        ClosePopup();
        return 0;
    case WM_HELP:
        OpenHelp();
        return TRUE;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
            m_resume.Resumed(::GetTickCount64());
            m_resumeTimer.Set(m_hWnd, ID_TIMER_RESUME, m_resume.m_FirstCheckDelayMs);
        }
        return TRUE;
    default:
        return CDialog::OnMessage(msg, wParam, lParam);
    }
}

bool CTarnwickDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    if (lParam == 0) { // menus
        switch (id) {
        case ID_TRAY_CHECK:
            StartCheck();
            return true;
        case ID_TRAY_DISABLE:
            ToggleEnabled();
            UpdateEnabledState();
            return true;
        case ID_TRAY_CONFIGURE:
            OnConfigure();
            return true;
        case ID_TRAY_EXIT:
            SendMessage(WM_CLOSE);
            return true;
        case ID_TRAY_OPEN:
            ShowWindow(SW_RESTORE);
            ::SetForegroundWindow(m_hWnd);
            return true;
        case ID_MSG_DELETE:
            DeleteSelectedMessage();
            return true;
        default:
            break;
        }
    } else if (HIWORD(wParam) == BN_CLICKED) {
        switch (id) {
        case IDC_CHECK_NOW:
            StartCheck();
            return true;
        case IDC_CONFIGURE:
            OnConfigure();
            return true;
        case IDC_EMAIL_PROG:
            LaunchEmailClient();
            return true;
        case IDC_ENABLE:
            ToggleEnabled();
            UpdateEnabledState();
            return true;
        case IDC_ABOUT:
            OnAboutButton();
            return true;
        default:
            break;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
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
    default:
        return CDialog::OnNotify(header, result);
    }
    *result = 0;
    return true;
}

LRESULT CTarnwickDlg::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != IDR_TRAY_MENU)
        return 0;
    CMenu popup = m_trayMenu.GetSubMenu(0);
    if (popup.GetSafeHmenu() == nullptr)
        return 0;
    if (lParam == WM_RBUTTONUP) {
        popup.SetDefaultItem(0);
        POINT cursor = {};
        ::GetCursorPos(&cursor);
        ::SetForegroundWindow(m_hWnd);
        popup.TrackPopupMenu(0, cursor.x, cursor.y, m_hWnd);
    } else if (lParam == WM_LBUTTONDBLCLK || lParam == NIN_BALLOONUSERCLICK) {
        SendMessage(WM_COMMAND, popup.GetMenuItemID(0), 0);
    }
    return 1;
}

void CTarnwickDlg::OnOK() {
    ShowWindow(SW_HIDE);
    ClosePopup();
}

void CTarnwickDlg::OnClose() {
    m_config.Save();
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
    // Bounded by the network time limits of the check.
    m_worker.Join();
    ClosePopup();
    m_trayIcon.Remove();
    CDialog::OnDestroy();
}

void CTarnwickDlg::OpenHelp() {
    const LaunchRequest help = {LaunchRequest::ShellOpen, m_hWnd,
                                ProgramFolder() + "\\tarnwick.html", SW_SHOWNORMAL};
    if (Launch(help) <= 32)
        ShowMessageBox(m_hWnd,
                       "Could not open help file.\nCheck that:\n(1) The tarnwick.html file is "
                       "installed in your Tarnwick installation directory.\n(2) You have a "
                       "default web browser defined on your system.",
                       "Error", MB_OK | MB_ICONERROR);
}

// ---- summary popup --------------------------------------------------------------------------

void CTarnwickDlg::ShowSummary() {
    if (!m_messages || m_busy)
        return;
    const int row = m_list.GetFirstSelectedItem();
    if (row < 0)
        return;
    const RECT outer = m_list.GetWindowRect();
    RECT label = {};
    m_list.GetItemRect(row, &label, LVIR_LABEL);
    m_popupPos = {label.right + outer.left, label.bottom + outer.top};
    if (m_popup->GetSafeHwnd() == nullptr) {
        m_popup->CreatePopup();
        m_popup->ShowWindow(SW_SHOW);
    }
    ::SetWindowPos(*m_popup, HWND_NOTOPMOST, m_popupPos.x, m_popupPos.y, 0, 0, SWP_NOSIZE);
    m_popup->SetSummaryText(m_messages->GetSummary(row));
    ::SetFocus(m_hWnd);
}

void CTarnwickDlg::ClosePopup() {
    if (m_popup && m_popup->GetSafeHwnd() != nullptr)
        m_popup->DestroyWindow();
}

// ---- deletion -------------------------------------------------------------------------------

void CTarnwickDlg::OnListRightClick() {
    // A deletion must not overlap a check: both use the account and its server session.
    if (m_busy || m_list.GetFirstSelectedItem() < 0)
        return;
    CMenu menu;
    if (!menu.LoadMenu(IDR_MESSAGE_MENU))
        return;
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    menu.GetSubMenu(0).TrackPopupMenu(TPM_RIGHTBUTTON, cursor.x, cursor.y, m_hWnd);
}

void CTarnwickDlg::DeleteSelectedMessage() {
    const int row = m_list.GetFirstSelectedItem();
    if (m_busy || row < 0 || !m_messages)
        return;
    const std::string text =
        "You have indicated you wish to delete the folowing message:\n\nFrom: " +
        m_messages->GetFrom(row) + "\nSubject: " + m_messages->GetSubject(row) +
        "\nSize: " + m_messages->GetSize(row) + " KB.\n\n" +
        "Are you sure you want to delete this message from the server?\n\nYou will not be able "
        "to undo this operation. Delete?";
    if (ShowMessageBox(m_hWnd, text, "Tarnwick - Confirmation", MB_YESNOCANCEL) != IDYES)
        return;

    const int number = row + 1;
    bool deleted = false;
    {
        CWaitCursor wait;
        m_busy = 1;
        UpdateBusyState();
        // The row's unique id lets the server refuse when the number now names another message.
        deleted = m_account.DeleteMessage(number, m_messages->GetUid(row));
        m_busy = 0;
        UpdateBusyState();
    }
    if (deleted) {
        StartCheck();
        AfxMessageBox("Message deleted succesfully.\nGetting new message list from server.", MB_OK,
                      m_hWnd);
        return;
    }
    if (m_account.DeleteRefusedAsStale()) {
        StartCheck();
        AfxMessageBox("The mailbox has changed since the list was fetched: message number " +
                          std::to_string(number) +
                          " is no longer the message shown, so nothing was deleted.\nGetting "
                          "new message list from server.",
                      MB_OK | MB_ICONEXCLAMATION, m_hWnd);
        return;
    }
    ShowMessageBox(m_hWnd,
                   "Could not delete message number " + std::to_string(number) + "\n\n" +
                       m_account.m_LastError,
                   "Tarnwick - Error", MB_OK | MB_ICONERROR);
}

// ---- e-mail program -------------------------------------------------------------------------

void CTarnwickDlg::LaunchEmailClient() {
    if (!m_config.m_UseDefaultEmail) {
        const LaunchRequest run = {LaunchRequest::CommandLine, m_hWnd, m_config.m_EmailClient,
                                   SW_SHOWNORMAL};
        if (Launch(run) <= 31)
            ShowMessageBox(m_hWnd, "Can't launch email application", "Tarnwick Error",
                           MB_OK | MB_ICONERROR);
        return;
    }
    CRegKey clients;
    if (!clients.Open(HKEY_LOCAL_MACHINE, kMailKey, KEY_QUERY_VALUE))
        return;
    std::string name;
    clients.QueryString("", &name);
    clients.Close();
    CRegKey command;
    if (!command.Open(HKEY_LOCAL_MACHINE,
                      std::string(kMailKey) + "\\" + name + "\\shell\\open\\command",
                      KEY_QUERY_VALUE))
        return;
    std::string line;
    const bool read = command.QueryString("", &line);
    const std::string program = read ? ProgramOfCommand(line) : std::string();
    if (program.empty() || Launch({LaunchRequest::ShellOpen, m_hWnd, program, SW_SHOWNORMAL}) <= 32)
        ShowMessageBox(m_hWnd, kDefaultMailFailed, "Tarnwick Error", MB_OK | MB_ICONERROR);
}
