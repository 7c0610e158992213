#include "mainwnd/tarnwick_dlg.h"

#include "about/about_dlg.h"
#include "config/conf_dialog.h"
#include "framework/cursor.h"
#include "framework/data_exchange.h"
#include "framework/message_box.h"
#include "framework/shell_seams.h"
#include "mainwnd/show_dialog.h"
#include "mainwnd/window_messages.h"
#include "net/cancel_signal.h"
#include "mime/utf16_win.h"
#include "pop3/messages.h"
#include "res/resource.h"
#include "settings/profile.h"
#include "update/auto_update_client.h"
#include "update/update_check.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr UINT kUpdateDelayMs = 600000;

const char kDefaultMailFailed[] = "Can't launch default email application";
const char kMailKey[] = "SOFTWARE\\Clients\\Mail";
// Exit waits this long for a cancelled job before the process lets it go.
constexpr DWORD kExitJoinMs = 1000;
constexpr UINT kExitPollMs = 50;
constexpr UINT kExitGiveUpMs = 2000;

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
    m_cycle.MutableAccount().Load();
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

    m_infoBitmap.Reset(static_cast<HBITMAP>(
        ::LoadImageA(Instance(), MAKEINTRESOURCEA(IDB_INFO), IMAGE_BITMAP, 0, 0, 0)));
    ::SendDlgItemMessageA(m_hWnd, IDC_ABOUT, BM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(m_infoBitmap.Get()));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon.Get()));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon.Get()));
    m_animate.Open(IDR_SEARCH_AVI);
    // Rows answer on every cell, not only on the sender.
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // The list asks for its rows' texts wide (LVN_GETDISPINFOW).
    m_list.SendMessage(WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(m_hWnd), NF_REQUERY);
    SetupColumns();

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
    ModalScope modal(*this);
    ::RunScheduledUpdateCheck(m_hWnd);
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
        RunForcedUpdateCheck(m_hWnd);
}

// ---- boxes, menus and sheets over the window ------------------------------------------------

CTarnwickDlg::ModalScope::ModalScope(CTarnwickDlg& dlg) : m_dlg(dlg) {
    m_dlg.m_cycle.BoxOpened();
    m_dlg.UpdateTrayCommands();
}

CTarnwickDlg::ModalScope::~ModalScope() {
    m_dlg.m_cycle.BoxClosed();
    m_dlg.UpdateTrayCommands();
}

int CTarnwickDlg::Ask(const std::string& text, const std::string& caption, UINT flags) {
    ModalScope modal(*this);
    return ShowMessageBox(m_hWnd, text, caption, flags);
}

int CTarnwickDlg::Tell(const std::string& text, UINT flags) {
    ModalScope modal(*this);
    return AfxMessageBox(text, flags, m_hWnd);
}

// ---- the end --------------------------------------------------------------------------------

void CTarnwickDlg::BeginExit() {
    if (m_cycle.Exiting())
        return;
    m_cycle.Exit();
    m_updateTimer.Kill();
    ClosePopup();
    ShowWindow(SW_HIDE);
    m_trayIcon.Remove();
    m_config.Save();
}

namespace {

struct OwnedWindows {
    HWND owner;
    std::vector<HWND> found;
};

// Collects the windows of the thread that `owner` owns, directly or through other windows.
BOOL CALLBACK CollectOwned(HWND hwnd, LPARAM param) {
    auto& windows = *reinterpret_cast<OwnedWindows*>(param);
    for (HWND owner = ::GetWindow(hwnd, GW_OWNER); owner != nullptr;
         owner = ::GetWindow(owner, GW_OWNER)) {
        if (owner == windows.owner) {
            windows.found.push_back(hwnd);
            break;
        }
    }
    return TRUE;
}

} // namespace

void CTarnwickDlg::CloseOpenBoxes() {
    ::EndMenu();
    OwnedWindows found{m_hWnd, {}};
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectOwned, reinterpret_cast<LPARAM>(&found));
    for (HWND box : found.found) {
        if (!::IsWindow(box) || !::IsWindowEnabled(box))
            continue; // a box with another open over it goes when that one has
        char className[16] = {};
        ::GetClassNameA(box, className, sizeof(className));
        const bool ours = CWnd::FromHandle(box) != nullptr;
        ::SendMessageA(box, WM_CLOSE, 0, 0);
        // A system message box without a Cancel button ignores WM_CLOSE; it ends with an
        // answer that is neither Yes nor OK.
        if (!ours && std::strcmp(className, "#32770") == 0 && ::IsWindow(box) &&
            ::IsWindowVisible(box) &&
            ::FindWindowExA(box, nullptr, "SysTabControl32", nullptr) == nullptr)
            ::EndDialog(box, IDCANCEL);
    }
}

void CTarnwickDlg::StopWorker() {
    const auto& job = m_cycle.RunningJob();
    if (job && job->cancel)
        job->cancel->Cancel();
    // Cancelled, the worker ends in moments; one that does not is let go with the job it
    // shares, and ends with the process.
    if (!m_worker.JoinFor(kExitJoinMs))
        m_worker.Detach();
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
        return 0;
    case WM_NOTIFYFORMAT:
        if (reinterpret_cast<HWND>(wParam) == m_list.GetSafeHwnd())
            return NFR_UNICODE;
        return CDialog::OnMessage(msg, wParam, lParam);
    case WM_TRAY_NOTIFY:
        return OnTrayNotify(wParam, lParam);
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

// ---- summary popup --------------------------------------------------------------------------

void CTarnwickDlg::ShowSummary() {
    const Messages* messages = m_cycle.GetMessages();
    if (!messages || m_cycle.Busy())
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
    m_popup->SetSummaryText(messages->GetSummary(row));
    ::SetFocus(m_hWnd);
    // Placed after the main window took the focus back, which raised it over the popup under
    // Wine; on top without taking the activation, so the keys still go to the list.
    ::SetWindowPos(*m_popup, HWND_TOP, m_popupPos.x, m_popupPos.y, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE);
}

void CTarnwickDlg::ClosePopup() {
    if (m_popup && m_popup->GetSafeHwnd() != nullptr)
        m_popup->DestroyWindow();
}

// ---- deletion -------------------------------------------------------------------------------

void CTarnwickDlg::OnListRightClick() {
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    OnListRightClick(cursor);
}

void CTarnwickDlg::OnListRightClick(POINT at) {
    // A deletion must not overlap a check: both use the account and its server session.
    if (m_cycle.Busy() || !CanStartWork() || m_list.GetFirstSelectedItem() < 0)
        return;
    CMenu menu;
    if (!menu.LoadMenu(IDR_MESSAGE_MENU))
        return;
    UINT command = 0;
    {
        ModalScope modal(*this);
        command = static_cast<UINT>(
            menu.GetSubMenu(0).TrackPopupMenu(TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, m_hWnd));
    }
    if (command == ID_MSG_DELETE)
        DeleteSelectedMessage();
}

void CTarnwickDlg::DeleteSelectedMessage() {
    const int row = m_list.GetFirstSelectedItem();
    const Messages* messages = m_cycle.GetMessages();
    if (m_cycle.Busy() || !CanStartWork() || row < 0 || !messages || row >= messages->GetCount())
        return;
    // What the question shows is what may be deleted: the row's number, unique id and texts
    // are taken now, and the cycle makes sure the list is still the one asked about.
    const std::string uid = messages->GetUid(row);
    const unsigned generation = m_cycle.ListGeneration();
    const std::string text =
        "You have indicated you wish to delete the folowing message:\n\nFrom: " +
        messages->GetFrom(row) + "\nSubject: " + messages->GetSubject(row) +
        "\nSize: " + messages->GetSize(row) + " KB.\n\n" +
        "Are you sure you want to delete this message from the server?\n\nYou will not be able "
        "to undo this operation. Delete?";
    // It cannot be undone: Enter means No.
    if (Ask(text, "Tarnwick - Confirmation", MB_YESNOCANCEL | MB_DEFBUTTON2) != IDYES ||
        m_cycle.Exiting())
        return;
    m_cycle.Delete(row + 1, uid, generation);
}

// ---- e-mail program -------------------------------------------------------------------------

void CTarnwickDlg::LaunchEmailClient() {
    if (!m_config.m_UseDefaultEmail) {
        const LaunchRequest run = {LaunchRequest::CommandLine, m_hWnd, m_config.m_EmailClient,
                                   SW_SHOWNORMAL};
        if (Launch(run) <= 31)
            Ask("Can't launch email application", "Tarnwick Error", MB_OK | MB_ICONERROR);
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
        Ask(kDefaultMailFailed, "Tarnwick Error", MB_OK | MB_ICONERROR);
}
