#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/gdi.h"
#include "framework/tool_tip_ctrl.h"
#include "framework/wnd.h"

// A static text control of a dialog turned into a link: drawn in the link colours with an
// underlined copy of its font, a hand pointer and a tip naming the target; a click (or Space
// while it has the focus) asks the shell to open the target. Attached through DDX_Control.
class CHyperLink : public CWnd {
public:
    enum : DWORD {
        LinkUnderlined = 0x01,
        LinkHoverColour = 0x02,
        LinkFitToText = 0x04,
        LinkOpenOnPress = 0x08,
        LinkFocusOnClick = 0x10,
        LinkKeepPointer = 0x20,
        LinkNoActiveColour = 0x40,
    };
    struct LinkColours {
        COLORREF link, active, visited, hover;
    };
    // Opens a target with a show command and returns the shell's result code (above 32 is
    // success). Replaceable so that tests start no program.
    using Opener = std::function<int(const std::string& target, int show)>;

    CHyperLink() = default;
    ~CHyperLink() override;

    void SetLinkTarget(std::string target);
    std::string GetLinkTarget() const { return m_target; }
    void SetLinkText(const std::string& text);
    void SetLinkFont(HFONT font);
    bool ChangeLinkFlags(DWORD remove, DWORD add, bool applyNow);
    DWORD GetLinkFlags() const { return m_linkFlags; }
    void MarkVisited(bool visited) { m_visited = visited; }
    bool IsVisited() const { return m_visited; }
    // The colour the link draws its text in now.
    COLORREF CurrentColour() const;

    // Class-wide: every link of the process shares the colours and the pointer. A hover
    // colour of 0xFFFFFFFF means the system highlight colour.
    static void SetLinkColours(COLORREF link, COLORREF active, COLORREF visited, COLORREF hover);
    static void SetLinkColoursFrom(const LinkColours& colours);
    static LinkColours GetLinkColours();
    static void SetPointerShape(HCURSOR pointer); // null: the hand pointer
    static HCURSOR GetPointerShape();

    // The shell's open, then the program registered for ".htm" files.
    static int OpenTarget(const std::string& target, int show);
    // Replaces OpenTarget for every link; an empty opener puts it back. Returns the previous.
    static Opener SetOpener(Opener opener);
    // "Can't open link:" and the plain-language reason for a shell or command-line result code.
    static std::string OpenErrorText(int code);
    // The command line the ".htm" fallback runs: the registered command cut at its "%1"
    // placeholder, then the target as one quoted argument. Empty when the target cannot be
    // quoted safely.
    static std::string FallbackCommand(const std::string& registered, const std::string& target);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PreSubclassWindow() override;

private:
    void OnMouseMove(POINT point);
    void ActivateLink();
    void FitToText();
    void ApplyUnderline();
    void Repaint();
    static void LoadHandPointer();
    static void ShowOpenError(int code);

    bool m_linkActive = false;
    bool m_pointerOver = false;
    bool m_visited = false;
    DWORD m_linkFlags = LinkUnderlined | LinkFitToText | LinkFocusOnClick;
    std::string m_target;
    CFont m_underlineFont;
    CToolTipCtrl m_tip;
};
