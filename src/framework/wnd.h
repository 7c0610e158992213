#pragma once

#include <windows.h>

#include <string>

// The thin, non-owning window base: holds the HWND and reaches the C++ object from the
// window procedure. Messages arrive in OnMessage, whose default switch calls the typed
// On... handlers below; a class that needs another message overrides OnMessage and falls
// back to the base for the rest.
//
// Lifetime rule: ending a window from inside one of its own handlers is safe, both ways.
// - Destroying the window: PostNcDestroy, where self-owning windows delete themselves,
//   runs only once the outermost handler of the object has returned.
// - Deleting the object: its destructor destroys the window, and every handler of the
//   object still on the stack returns without touching the object again. Code in such a
//   handler must not use the object after the delete either.
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates a window of the framework's default class (or of className) owned by this object.
    bool CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                  int y, int width, int height, HWND parent, HMENU menu);
    bool DestroyWindow();

    // Makes a window of a system class (a common control, say) and subclasses it, so that
    // the object sees its messages; the window is destroyed again when that fails.
    bool CreateControl(const char* className, DWORD style, int x, int y, int width, int height,
                       HWND parent, int id);

    // Routes an existing control's messages to this object (used for our own controls).
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, id)); }
    void UnsubclassWindow();

    bool ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command) != FALSE; }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
    bool EnableWindow(bool enable) const { return ::EnableWindow(m_hWnd, enable) != FALSE; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    // UTF-8, through the wide calls: a title may quote mail text.
    void SetWindowText(const std::string& text) const;
    std::string GetWindowText() const;
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }
    bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, msg, wParam, lParam) != FALSE;
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) const {
        return ::SetTimer(m_hWnd, id, elapseMs, nullptr);
    }
    bool KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id) != FALSE; }

    static std::string GetWindowTextOf(HWND hwnd);
    // The object behind a window made or subclassed by this framework, or null.
    static CWnd* FromHandle(HWND hwnd);
    // The module whose resources the program uses.
    static HINSTANCE Instance();
    // The framework's default window class, registered on first use.
    static const char* DefaultClassName();

protected:
    virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // The processing the window would have had without this object.
    virtual LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);

    virtual int OnCreate(CREATESTRUCTA* create);
    virtual void OnDestroy() {}
    virtual void OnTimer(UINT_PTR id);
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    virtual bool OnNotify(NMHDR* header, LRESULT* result);
    virtual void OnClose();
    virtual void OnPaint();
    // Runs once SubclassWindow has routed an existing control to this object.
    virtual void PreSubclassWindow() {}
    // Runs after the window is gone; self-deleting windows delete themselves here.
    virtual void PostNcDestroy() {}

    // The message being handled, for DefaultProc calls from typed handlers.
    struct CurrentMessage {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    const CurrentMessage& Current() const { return m_current; }
    // Runs the system's processing of the current message now and returns its result, in
    // windows and dialogs alike; the handler may then go on and decide its own result.
    LRESULT Default() { return RunDefault(m_current.msg, m_current.wParam, m_current.lParam); }
    virtual LRESULT RunDefault(UINT msg, WPARAM wParam, LPARAM lParam) {
        return DefaultProc(msg, wParam, lParam);
    }

    // Runs one message through OnMessage with exception containment and the
    // WM_NCDESTROY bookkeeping (detach, then PostNcDestroy); used by every thunk. The
    // object may be gone when it returns.
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    // Binds this object to a window that another thunk saw first (a dialog's WM_INITDIALOG).
    void Attach(HWND hwnd);
    void Detach();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR refData);

    CurrentMessage m_current{0, 0, 0};
    // Points into the innermost Dispatch running for this object, which the destructor
    // tells that the object is gone.
    bool* m_deleted = nullptr;
    bool m_subclassed = false;
    int m_depth = 0;
    bool m_windowGone = false;
};

// A top-level frame window of the default class. Objects must be made with new: once
// Create has succeeded, the object deletes itself when its window is destroyed. When
// Create fails, the object stays the caller's to delete.
class CFrameWnd : public CWnd {
public:
    bool Create(const char* className, const char* title, DWORD style = WS_OVERLAPPEDWINDOW,
                HWND parent = nullptr, HMENU menu = nullptr);

protected:
    void PostNcDestroy() override;

private:
    bool m_ownsItself = false;
};
