#include "about/hyper_link.h"

#include <shellapi.h>
#include <windowsx.h>

#include <utility>

#include "framework/handles.h"
#include "framework/library.h"
#include "framework/message_box.h"
#include "framework/reflect.h"
#include "framework/shell_seams.h"

namespace {

constexpr UINT kToolId = 1;
constexpr WORD kHelpViewerHandCursor = 106;

COLORREF s_linkColour = RGB(0, 0, 255);
COLORREF s_activeColour = RGB(0, 128, 128);
COLORREF s_visitedColour = RGB(128, 0, 128);
COLORREF s_hoverColour = RGB(255, 0, 0);

// The pointer every link shows; lives as long as the process. A private copy is destroyed
// at exit, a system or caller's pointer is not.
struct Pointer {
    HCURSOR handle = nullptr;
    bool owned = false;
    ~Pointer() { Set(nullptr, false); }
    void Set(HCURSOR cursor, bool own) {
        if (owned && handle != nullptr)
            ::DestroyCursor(handle);
        handle = cursor;
        owned = own;
    }
};
Pointer s_handPointer;

CHyperLink::Opener& OpenerSeam() {
    static CHyperLink::Opener opener;
    return opener;
}

bool ReadDefaultValue(HKEY root, const std::string& subKey, std::string* value) {
    CRegKey key;
    return key.Open(root, subKey, KEY_QUERY_VALUE) && key.QueryString("", value);
}

} // namespace

CHyperLink::~CHyperLink() = default;

COLORREF CHyperLink::CurrentColour() const {
    if (m_pointerOver && (m_linkFlags & LinkHoverColour))
        return s_hoverColour;
    if (!(m_linkFlags & LinkNoActiveColour) && m_linkActive)
        return s_activeColour;
    if (m_visited)
        return s_visitedColour;
    return s_linkColour;
}

void CHyperLink::SetLinkTarget(std::string target) {
    m_target = std::move(target);
    if (m_hWnd == nullptr)
        return;
    ShowWindow(SW_HIDE);
    FitToText();
    m_tip.UpdateTipText(m_target, m_hWnd, kToolId);
    ShowWindow(SW_SHOW);
}

void CHyperLink::SetLinkText(const std::string& text) {
    if (m_hWnd == nullptr)
        return;
    ShowWindow(SW_HIDE);
    SetWindowText(text);
    FitToText();
    ShowWindow(SW_SHOW);
}

void CHyperLink::SetLinkFont(HFONT font) {
    if (m_hWnd == nullptr || font == nullptr)
        return;
    ShowWindow(SW_HIDE);
    LOGFONTA description = {};
    if (::GetObjectA(font, sizeof(description), &description) != 0) {
        // The old font stays selected until the control has taken the new one.
        CFont fresh(::CreateFontIndirectA(&description));
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(fresh.Get()), TRUE);
        m_underlineFont = std::move(fresh);
    }
    FitToText();
    ShowWindow(SW_SHOW);
}

bool CHyperLink::ChangeLinkFlags(DWORD remove, DWORD add, bool applyNow) {
    if ((remove & add) != 0)
        return false;
    const DWORD before = m_linkFlags;
    m_linkFlags = (m_linkFlags & ~remove) | add;
    if (applyNow && m_hWnd != nullptr) {
        const DWORD changed = before ^ m_linkFlags;
        if (changed & LinkUnderlined)
            ApplyUnderline();
        if (changed & add & LinkFitToText)
            FitToText();
        if (changed & remove & LinkHoverColour)
            Repaint();
    }
    return true;
}

void CHyperLink::SetLinkColours(COLORREF link, COLORREF active, COLORREF visited, COLORREF hover) {
    s_linkColour = link;
    s_activeColour = active;
    s_visitedColour = visited;
    s_hoverColour = hover == 0xFFFFFFFF ? ::GetSysColor(COLOR_HIGHLIGHT) : hover;
}

void CHyperLink::SetLinkColoursFrom(const LinkColours& colours) {
    s_linkColour = colours.link;
    s_activeColour = colours.active;
    s_visitedColour = colours.visited;
    s_hoverColour = colours.hover;
}

CHyperLink::LinkColours CHyperLink::GetLinkColours() {
    return {s_linkColour, s_activeColour, s_visitedColour, s_hoverColour};
}

void CHyperLink::SetPointerShape(HCURSOR pointer) {
    if (pointer == nullptr) {
        s_handPointer.Set(nullptr, false);
        LoadHandPointer();
        return;
    }
    s_handPointer.Set(pointer, false);
}

HCURSOR CHyperLink::GetPointerShape() {
    return s_handPointer.handle;
}

CHyperLink::Opener CHyperLink::SetOpener(Opener opener) {
    Opener previous = std::move(OpenerSeam());
    OpenerSeam() = std::move(opener);
    return previous;
}

int CHyperLink::OpenTarget(const std::string& target, int show) {
    const int shell = static_cast<int>(reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, show)));
    if (shell > 32)
        return shell;
    // The shell could not open it: try the web browser registered for ".htm" pages.
    std::string fileType;
    std::string command;
    if (!ReadDefaultValue(HKEY_CLASSES_ROOT, ".htm", &fileType) ||
        !ReadDefaultValue(HKEY_CLASSES_ROOT, fileType + "\\shell\\open\\command", &command))
        return shell;
    const std::string line = FallbackCommand(command, target);
    if (line.empty())
        return shell;
    // Started without waiting for the browser to come up, as every start of ours is.
    return static_cast<int>(Launch({LaunchRequest::CommandLine, nullptr, line, show}));
}

std::string CHyperLink::FallbackCommand(const std::string& registered, const std::string& target) {
    // A quote or a control character could end the argument and start another.
    for (const char c : target) {
        if (c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::string();
    }
    size_t cut = registered.find("\"%1\"");
    if (cut == std::string::npos)
        cut = registered.find("%1");
    std::string line = registered.substr(0, cut);
    // Backslashes before the closing quote would escape it; doubled, they stay backslashes.
    size_t trailing = 0;
    while (trailing < target.size() && target[target.size() - 1 - trailing] == '\\')
        ++trailing;
    line += " \"" + target + std::string(trailing, '\\') + "\"";
    return line;
}

std::string CHyperLink::OpenErrorText(int code) {
    std::string reason;
    switch (code) {
    case 0:
        reason = "The operating system is out\nof memory or resources.";
        break;
    case ERROR_FILE_NOT_FOUND:
        reason = "The specified file was not found.";
        break;
    case ERROR_PATH_NOT_FOUND:
        reason = "The specified path was not found.";
        break;
    case SE_ERR_ACCESSDENIED:
        reason = "The operating system denied\naccess to the specified file.";
        break;
    case SE_ERR_OOM:
        reason = "There was not enough memory to complete the operation.";
        break;
    case ERROR_BAD_FORMAT:
        reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        break;
    case SE_ERR_SHARE:
        reason = "A sharing violation occurred. ";
        break;
    case SE_ERR_ASSOCINCOMPLETE:
        reason = "The filename association is\nincomplete or invalid.";
        break;
    case SE_ERR_DDETIMEOUT:
        reason = "The DDE transaction could not\nbe completed because the request timed out.";
        break;
    case SE_ERR_DDEFAIL:
        reason = "The DDE transaction failed.";
        break;
    case SE_ERR_DDEBUSY:
        reason = "The DDE transaction could not\nbe completed because other DDE "
                 "transactions\nwere being processed.";
        break;
    case SE_ERR_NOASSOC:
        reason = "There is no application associated\nwith the given filename extension.";
        break;
    case SE_ERR_DLLNOTFOUND:
        reason = "The specified dynamic-link library was not found.";
        break;
    default:
        reason = "Unknown Error (" + std::to_string(code) + ") occurred.";
        break;
    }
    return "Can't open link:\n\n" + reason;
}

void CHyperLink::ShowOpenError(int code) {
    AfxMessageBox(OpenErrorText(code), MB_ICONEXCLAMATION);
}

void CHyperLink::PreSubclassWindow() {
    const std::string text = GetWindowText();
    if (m_target.empty())
        m_target = text;
    if (text.empty())
        SetWindowText(m_target);

    HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (font != nullptr) {
        LOGFONTA description = {};
        if (::GetObjectA(font, sizeof(description), &description) != 0) {
            description.lfUnderline = (m_linkFlags & LinkUnderlined) ? 1 : 0;
            m_underlineFont.Reset(::CreateFontIndirectA(&description));
            if (m_underlineFont.Get() != nullptr)
                SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_underlineFont.Get()), TRUE);
        }
        FitToText();
    } else {
        m_linkFlags &= ~static_cast<DWORD>(LinkFitToText);
    }

    if (!(m_linkFlags & LinkKeepPointer))
        LoadHandPointer();

    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    if (m_tip.Create(m_hWnd, 0))
        m_tip.AddTool(m_hWnd, m_target, &client, kToolId);
}

LRESULT CHyperLink::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_REFLECT_CTLCOLOR: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, CurrentColour());
        ::SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    case WM_SETCURSOR:
        if (s_handPointer.handle == nullptr)
            return FALSE;
        ::SetCursor(s_handPointer.handle);
        return TRUE;
    case WM_MOUSEMOVE:
        OnMouseMove({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONDOWN:
        if (m_linkFlags & LinkFocusOnClick)
            ::SetFocus(m_hWnd);
        if (m_linkFlags & LinkOpenOnPress)
            ActivateLink();
        m_linkActive = true;
        return 0;
    case WM_LBUTTONUP:
        if (m_linkActive && !(m_linkFlags & LinkOpenOnPress))
            ActivateLink();
        return 0;
    case WM_SETFOCUS:
        m_linkActive = true;
        Repaint();
        return 0;
    case WM_KILLFOCUS:
        m_pointerOver = false;
        m_linkActive = false;
        Repaint();
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            ActivateLink();
            return 0;
        }
        break;
    case WM_NCHITTEST:
        // A static without SS_NOTIFY is transparent to the mouse otherwise.
        return HTCLIENT;
    default:
        break;
    }
    return CWnd::OnMessage(msg, wParam, lParam);
}

void CHyperLink::OnMouseMove(POINT point) {
    if (!m_pointerOver) {
        m_pointerOver = true;
        Repaint();
        // Captured so that the move that leaves the link arrives here too.
        ::SetCapture(m_hWnd);
        return;
    }
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    if (!::PtInRect(&client, point)) {
        m_pointerOver = false;
        ::ReleaseCapture();
        Repaint();
    }
}

void CHyperLink::ActivateLink() {
    const Opener& opener = OpenerSeam();
    const int code = opener ? opener(m_target, SW_SHOW) : OpenTarget(m_target, SW_SHOW);
    if (code <= 32) {
        ::MessageBeep(MB_ICONEXCLAMATION);
        ShowOpenError(code);
        return;
    }
    m_visited = true;
    Repaint();
}

void CHyperLink::Repaint() {
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CHyperLink::FitToText() {
    if (!(m_linkFlags & LinkFitToText) || m_hWnd == nullptr)
        return;
    RECT window = {};
    ::GetWindowRect(m_hWnd, &window);
    HWND parent = ::GetParent(m_hWnd);
    if (parent != nullptr)
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    const int borderWidth = (window.right - window.left) - (client.right - client.left);
    const int borderHeight = (window.bottom - window.top) - (client.bottom - client.top);

    SIZE extent = {};
    {
        CClientDC dc(m_hWnd);
        HFONT font = m_underlineFont.Get() != nullptr
                         ? m_underlineFont.Get()
                         : reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
        CSelectObject selected(dc, font);
        const std::string text = GetWindowText();
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    }

    const LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    if (style & SS_CENTERIMAGE) {
        const int shrink = ((window.bottom - window.top) - extent.cy) / 2;
        window.top += shrink;
        window.bottom -= shrink;
    } else {
        window.bottom = window.top + extent.cy;
    }
    switch (style & SS_TYPEMASK) {
    case SS_CENTER: {
        const int shrink = ((window.right - window.left) - extent.cx) / 2;
        window.left += shrink;
        window.right -= shrink;
        break;
    }
    case SS_RIGHT:
        window.left = window.right - extent.cx;
        break;
    default:
        window.right = window.left + extent.cx;
        break;
    }
    ::MoveWindow(m_hWnd, window.left, window.top, window.right - window.left + borderWidth,
                 window.bottom - window.top + borderHeight, TRUE);
}

void CHyperLink::ApplyUnderline() {
    HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (font == nullptr)
        return;
    LOGFONTA description = {};
    if (::GetObjectA(font, sizeof(description), &description) == 0)
        return;
    description.lfUnderline = (m_linkFlags & LinkUnderlined) ? 1 : 0;
    CFont fresh(::CreateFontIndirectA(&description));
    SetLinkFont(fresh);
    // SetLinkFont made its own copy; this one is no longer needed.
}

void CHyperLink::LoadHandPointer() {
    if (s_handPointer.handle != nullptr)
        return;
    char folder[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        CLibrary viewer;
        if (viewer.LoadForResources(std::string(folder) + "\\winhlp32.exe")) {
            HCURSOR hand = ::LoadCursorA(viewer, MAKEINTRESOURCEA(kHelpViewerHandCursor));
            // The copy outlives the module it came from.
            if (hand != nullptr)
                s_handPointer.Set(static_cast<HCURSOR>(::CopyIcon(hand)), true);
        }
    }
    if (s_handPointer.handle == nullptr)
        s_handPointer.Set(::LoadCursorA(nullptr, IDC_HAND), false);
}
