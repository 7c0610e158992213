#pragma once

#include "framework/wnd.h"

class CDataExchange;

// A dialog made from a dialog template: modal (DoModal) or modeless (Create). Handlers
// return through the dialog-procedure protocol: a message the object does not handle goes
// on to the dialog manager; Default() runs the dialog manager's processing at once.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);

    // Runs the dialog until EndDialog; returns its result, or -1 when the dialog could not
    // be made. The loop is our own, not the system's: it gives every dialog of the thread,
    // modeless ones too, its keyboard handling, and disables the owner as the system does.
    INT_PTR DoModal();
    // Makes the dialog as a modeless window; it lives until DestroyWindow or the object dies.
    bool Create(HWND parent = nullptr);
    // Ends a modal run with this result; a modeless dialog is destroyed.
    void EndDialog(int result);

    // Moves values between the controls and the fields: true takes them from the controls
    // with checking and reports whether every check passed.
    bool UpdateData(bool saveAndValidate = true);

    UINT TemplateId() const { return m_templateId; }

    // Gives a message to the dialog of this framework it belongs to (Tab, Enter, Esc,
    // mnemonics); true when that dialog used it.
    static bool RouteToDialog(MSG* msg);

protected:
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx);

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    // Marks the current message as not handled, so the dialog manager processes it.
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // The dialog manager's processing, run now (DefDlgProc, which skips this object once).
    LRESULT RunDefault(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The one road from a dialog procedure back to the system: messages whose result is the
    // procedure's own return value get it directly, others through DWLP_MSGRESULT.
    static INT_PTR Finish(HWND hwnd, UINT msg, LRESULT result, bool handled);
    // Runs one message for the object behind a dialog procedure and applies Finish.
    static INT_PTR Route(CDialog* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_parent;

private:
    HWND CreateFromTemplate();
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    bool m_modal = false;
    bool m_ending = false;
    INT_PTR m_result = -1;
};
