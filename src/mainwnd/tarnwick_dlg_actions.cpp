// What the user does with a row and the mail program: the summary popup, the deletion and
// the start of the e-mail program.
#include "mainwnd/tarnwick_dlg.h"

#include "framework/handles.h"
#include "framework/menu.h"
#include "framework/shell_seams.h"
#include "mainwnd/show_dialog.h"
#include "pop3/messages.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {

const char kDefaultMailFailed[] = "Can't launch default email application";
const char kMailKey[] = "SOFTWARE\\Clients\\Mail";

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

} // namespace

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
    // What the question shows is what may be deleted: the row's number, identity and texts
    // are taken now, and the cycle makes sure the list is still the one asked about.
    const MessageIdentity identity = messages->GetIdentity(row);
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
    m_cycle.Delete(row + 1, identity, generation);
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
    // No default mail program registered is a program that could not be started too.
    CRegKey clients;
    if (!clients.Open(HKEY_LOCAL_MACHINE, kMailKey, KEY_QUERY_VALUE)) {
        Ask(kDefaultMailFailed, "Tarnwick Error", MB_OK | MB_ICONERROR);
        return;
    }
    std::string name;
    clients.QueryString("", &name);
    clients.Close();
    CRegKey command;
    if (!command.Open(HKEY_LOCAL_MACHINE,
                      std::string(kMailKey) + "\\" + name + "\\shell\\open\\command",
                      KEY_QUERY_VALUE)) {
        Ask(kDefaultMailFailed, "Tarnwick Error", MB_OK | MB_ICONERROR);
        return;
    }
    std::string line;
    const bool read = command.QueryString("", &line);
    const std::string program = read ? ProgramOfCommand(line) : std::string();
    if (program.empty() || Launch({LaunchRequest::ShellOpen, m_hWnd, program, SW_SHOWNORMAL}) <= 32)
        Ask(kDefaultMailFailed, "Tarnwick Error", MB_OK | MB_ICONERROR);
}
