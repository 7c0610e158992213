#include "framework/tool_tip_ctrl.h"

#include <commctrl.h>

namespace {

// The version-2 record is understood by every comctl32 version, with or without the
// version-6 manifest.
TTTOOLINFOA MakeToolInfo(HWND window, UINT id) {
    TTTOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = window;
    if (id == 0) {
        info.uFlags = TTF_IDISHWND;
        info.uId = reinterpret_cast<UINT_PTR>(window);
    } else {
        info.uId = id;
    }
    return info;
}

} // namespace

CToolTipCtrl::~CToolTipCtrl() {
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
}

bool CToolTipCtrl::Create(HWND parent, DWORD style) {
    // Subclassed so that the object learns when its owner's destruction takes the tip along.
    return CreateControl(TOOLTIPS_CLASSA, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, parent, 0);
}

bool CToolTipCtrl::AddTool(HWND window, const std::string& text, const RECT* rect, UINT id) {
    TTTOOLINFOA info = MakeToolInfo(window, id);
    info.uFlags |= TTF_SUBCLASS;
    if (rect != nullptr)
        info.rect = *rect;
    else if (id != 0)
        ::GetClientRect(window, &info.rect);
    info.lpszText = const_cast<char*>(text.c_str());
    return SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CToolTipCtrl::UpdateTipText(const std::string& text, HWND window, UINT id) {
    TTTOOLINFOA info = MakeToolInfo(window, id);
    info.lpszText = const_cast<char*>(text.c_str());
    SendMessage(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

std::string CToolTipCtrl::GetText(HWND window, UINT id) const {
    // The ANSI request cuts the text at 80 bytes; the wide one returns it whole.
    wchar_t buffer[1024] = {};
    const TTTOOLINFOA tool = MakeToolInfo(window, id);
    TTTOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = tool.uFlags;
    info.hwnd = tool.hwnd;
    info.uId = tool.uId;
    info.lpszText = buffer;
    SendMessage(TTM_GETTEXTW, sizeof(buffer) / sizeof(buffer[0]), reinterpret_cast<LPARAM>(&info));
    char text[sizeof(buffer)] = {};
    ::WideCharToMultiByte(CP_ACP, 0, buffer, -1, text, sizeof(text), nullptr, nullptr);
    return std::string(text);
}

int CToolTipCtrl::GetToolCount() const {
    return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT));
}

void CToolTipCtrl::RelayEvent(const MSG* message) {
    SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
}

void CToolTipCtrl::Activate(bool activate) {
    SendMessage(TTM_ACTIVATE, activate ? TRUE : FALSE);
}
